// Stand-ins for the `vscode` module (VS Code's own, which only exists inside
// VS Code) and for the language client, recording what the extension asks.
'use strict';

const Module = require('node:module');

function makeStubs() {
    const log = { clients: [], errors: [], commands: {}, configurationListeners: [] };
    const settings = { path: undefined };

    const vscode = {
        workspace: {
            getConfiguration: (section) => ({
                get: (name) => (section === 'korvane' ? settings[name] : undefined),
            }),
            onDidChangeConfiguration: (listener) => {
                log.configurationListeners.push(listener);
                return { dispose() {} };
            },
        },
        window: {
            showErrorMessage: (message) => log.errors.push(message),
        },
        commands: {
            registerCommand: (name, callback) => {
                log.commands[name] = callback;
                return { dispose() {} };
            },
        },
    };

    class LanguageClient {
        constructor(id, name, serverOptions, clientOptions) {
            Object.assign(this, { id, name, serverOptions, clientOptions, started: false, stopped: false });
            log.clients.push(this);
        }
        async start() {
            if (LanguageClient.failWith)
                throw new Error(LanguageClient.failWith);
            this.started = true;
        }
        async stop() {
            this.stopped = true;
        }
    }
    const languageClient = { LanguageClient, TransportKind: { stdio: 0, ipc: 1 } };
    return { vscode, languageClient, log, settings };
}

// extension.js loaded afresh with the stubs in place of its two modules.
function loadExtension(stubs) {
    const path = require.resolve('../extension.js');
    delete require.cache[path];
    const load = Module._load;
    Module._load = function (request, ...rest) {
        if (request === 'vscode')
            return stubs.vscode;
        if (request === 'vscode-languageclient/node')
            return stubs.languageClient;
        return load.call(this, request, ...rest);
    };
    try {
        return require(path);
    } finally {
        Module._load = load;
    }
}

module.exports = { makeStubs, loadExtension };
