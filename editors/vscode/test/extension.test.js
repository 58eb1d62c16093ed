// The extension's own code, against stubs of VS Code and the language client.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { makeStubs, loadExtension } = require('./stubs');

function context() {
    return { subscriptions: [] };
}

test('starts korvane-check --lsp over standard input and output by default', async () => {
    const stubs = makeStubs();
    const extension = loadExtension(stubs);
    await extension.activate(context());
    assert.equal(stubs.log.clients.length, 1);
    const client = stubs.log.clients[0];
    assert.deepEqual(client.serverOptions, { command: 'korvane-check', args: ['--lsp'], transport: 0 });
    assert.equal(client.started, true);
    await extension.deactivate();
    assert.equal(client.stopped, true);
});

test('the korvane.path setting names the program; a blank one is the default', () => {
    const stubs = makeStubs();
    const extension = loadExtension(stubs);
    const rows = [
        ['C:\\Program Files\\Korvane\\korvane-check.exe', 'C:\\Program Files\\Korvane\\korvane-check.exe'],
        ['  /opt/korvane/bin/korvane-check ', '/opt/korvane/bin/korvane-check'],
        ['', 'korvane-check'],
        ['   ', 'korvane-check'],
        [undefined, 'korvane-check'],
        [42, 'korvane-check'],
    ];
    for (const [setting, command] of rows) {
        const options = extension.serverOptions({ get: () => setting });
        assert.deepEqual(options, { command, args: ['--lsp'], transport: 0 }, `setting ${setting}`);
    }
});

test('checks .cfg and .conf files on disk', () => {
    const stubs = makeStubs();
    const extension = loadExtension(stubs);
    assert.deepEqual(extension.clientOptions().documentSelector, [
        { scheme: 'file', language: 'korvane-settings' },
        { scheme: 'file', pattern: '**/*.cfg' },
        { scheme: 'file', pattern: '**/*.conf' },
    ]);
});

test('a change of korvane.path restarts the server with the new program; others do not', async () => {
    const stubs = makeStubs();
    const extension = loadExtension(stubs);
    await extension.activate(context());
    const [listener] = stubs.log.configurationListeners;
    await listener({ affectsConfiguration: (name) => name === 'editor.fontSize' });
    assert.equal(stubs.log.clients.length, 1);
    stubs.settings.path = '/usr/local/bin/korvane-check';
    await listener({ affectsConfiguration: (name) => name === 'korvane.path' });
    assert.equal(stubs.log.clients.length, 2);
    assert.equal(stubs.log.clients[0].stopped, true);
    assert.equal(stubs.log.clients[1].serverOptions.command, '/usr/local/bin/korvane-check');
    assert.equal(stubs.log.clients[1].started, true);
    await extension.deactivate();
});

test('the restart command starts a new server', async () => {
    const stubs = makeStubs();
    const extension = loadExtension(stubs);
    await extension.activate(context());
    await stubs.log.commands['korvane.restart']();
    assert.equal(stubs.log.clients.length, 2);
    assert.equal(stubs.log.clients[0].stopped, true);
    await extension.deactivate();
});

test('a program that cannot start is named, with the setting to change', async () => {
    const stubs = makeStubs();
    const extension = loadExtension(stubs);
    stubs.languageClient.LanguageClient.failWith = 'spawn korvane-check ENOENT';
    await extension.activate(context());
    assert.deepEqual(stubs.log.errors, [
        'Korvane could not start korvane-check --lsp (spawn korvane-check ENOENT). ' +
            'Set korvane.path to the korvane-check program.',
    ]);
});
