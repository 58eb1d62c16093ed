// The VS Code side of Korvane: starts `korvane-check --lsp` for .cfg and
// .conf files and restarts it when its path setting changes. Everything
// else (diagnostics, hover, watching) is the server's.
'use strict';

const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

const SECTION = 'korvane';

// How the server is started, from the extension's settings.
function serverOptions(configuration) {
    const configured = configuration.get('path');
    const command = typeof configured === 'string' && configured.trim() !== '' ? configured.trim() : 'korvane-check';
    return { command, args: ['--lsp'], transport: TransportKind.stdio };
}

// The documents the server checks: settings files on disk, whatever
// language another extension gave them.
function clientOptions() {
    return {
        documentSelector: [
            { scheme: 'file', language: 'korvane-settings' },
            { scheme: 'file', pattern: '**/*.cfg' },
            { scheme: 'file', pattern: '**/*.conf' },
        ],
    };
}

let client;

async function start() {
    const configuration = vscode.workspace.getConfiguration(SECTION);
    client = new LanguageClient('korvane', 'Korvane', serverOptions(configuration), clientOptions());
    try {
        await client.start();
    } catch (error) {
        const command = serverOptions(configuration).command;
        vscode.window.showErrorMessage(
            `Korvane could not start ${command} --lsp (${error && error.message ? error.message : error}). ` +
            'Set korvane.path to the korvane-check program.');
    }
}

async function restart() {
    if (client) {
        const old = client;
        client = undefined;
        await old.stop().catch(() => undefined);
    }
    await start();
}

async function activate(context) {
    context.subscriptions.push(
        vscode.commands.registerCommand('korvane.restart', restart),
        vscode.workspace.onDidChangeConfiguration((event) => {
            if (event.affectsConfiguration(`${SECTION}.path`))
                return restart();
            return undefined;
        }),
        { dispose: () => deactivate() });
    await start();
}

function deactivate() {
    if (!client)
        return undefined;
    const old = client;
    client = undefined;
    return old.stop();
}

module.exports = { activate, deactivate, serverOptions, clientOptions };
