// Puts the page together: the template with its style and scripts inline.
// usage: node web/assemble.cjs PAGE STYLE MODULE TABLES SCRIPT OUTPUT
'use strict';
const fs = require('fs');
const [page, style, core, tables, script, output] = process.argv.slice(2);
const read = (file) => fs.readFileSync(file, 'utf8');
// A script's text must not close its element early.
const inline = (file) => read(file).replace(/<\/script/gi, '<\\/script');
const html = read(page)
  .replace('/*STYLE*/', () => read(style))
  .replace('/*MODULE*/', () => inline(core))
  .replace('/*TABLES*/', () => inline(tables))
  .replace('/*SCRIPT*/', () => inline(script));
fs.writeFileSync(output, html);
