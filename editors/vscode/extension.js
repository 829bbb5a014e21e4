// The morvane BASIC extension: starts morvane-lsp for BASIC listings and
// adds a command that renumbers the open program through it.
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

function documentSelector(extensions) {
  const patterns = extensions.map((e) => (e.startsWith('.') ? e : `.${e}`)).join(',');
  return [
    { language: 'morvane-basic' },
    { scheme: 'file', pattern: `**/*{${patterns}}` },
  ];
}

async function renumberDocument() {
  const editor = vscode.window.activeTextEditor;
  if (!editor) return;
  const ask = (prompt, value) => vscode.window.showInputBox({
    prompt, value, validateInput: (v) => (/^\d+$/.test(v) && Number(v) <= 65535 ? null : 'a number from 0 to 65535'),
  });
  const start = await ask('The first new line number', '10');
  if (start === undefined) return;
  const step = await ask('From one line number to the next', '10');
  if (step === undefined) return;
  // The server's own command, which the client registered as it started.
  await vscode.commands.executeCommand('morvane.renumber', editor.document.uri.toString(),
                                       Number(start), Number(step));
}

function activate(context) {
  const settings = vscode.workspace.getConfiguration('morvane');
  const serverOptions = {
    command: settings.get('serverPath', 'morvane-lsp'),
    transport: TransportKind.stdio,
  };
  const clientOptions = {
    documentSelector: documentSelector(settings.get('fileExtensions', ['.bas'])),
  };
  client = new LanguageClient('morvane', 'morvane BASIC', serverOptions, clientOptions);
  context.subscriptions.push(vscode.commands.registerCommand('morvane.renumberDocument', renumberDocument));
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
