// Puts the page together: the template with its style and scripts inline,
// the worker's script (the core, the image's layout, then what answers
// the page) as text that
// the page starts its worker from.
// usage: node web/assemble.cjs PAGE STYLE CORE WORKER TABLES SCRIPT OUTPUT
'use strict';
const fs = require('fs');
const [page, style, core, worker, tables, script, output] = process.argv.slice(2);
const read = (file) => fs.readFileSync(file, 'utf8');
// A script's text must not close its element early.
const inline = (text) => text.replace(/<\/script/gi, '<\\/script');
const html = read(page)
  .replace('/*STYLE*/', () => read(style))
  .replace('/*WORKER*/', () => inline([core, tables, worker].map(read).join('\n')))
  .replace('/*TABLES*/', () => inline(read(tables)))
  .replace('/*SCRIPT*/', () => inline(read(script)));
fs.writeFileSync(output, html);
