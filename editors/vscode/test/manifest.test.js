// The packaged .vsix, as VS Code would read it: packaged here with vsce
// (or taken from KORVANE_VSIX), then its manifest read back out of the zip.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const root = path.resolve(__dirname, '..');

function packaged() {
    if (process.env.KORVANE_VSIX)
        return process.env.KORVANE_VSIX;
    const out = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'korvane-vsix-')), 'korvane.vsix');
    const vsce = path.join(root, 'node_modules', '@vscode', 'vsce', 'vsce');
    execFileSync(process.execPath, [vsce, 'package', '--out', out], { cwd: root, stdio: 'pipe' });
    return out;
}

function entry(vsix, name) {
    return execFileSync('unzip', ['-p', vsix, name], { encoding: 'utf8' });
}

const vsix = packaged();
const manifest = JSON.parse(entry(vsix, 'extension/package.json'));
const files = execFileSync('unzip', ['-Z1', vsix], { encoding: 'utf8' }).split('\n');

test('activates on .cfg and .conf files', () => {
    assert.deepEqual(manifest.activationEvents, [
        'onLanguage:korvane-settings',
        'workspaceContains:**/*.cfg',
        'workspaceContains:**/*.conf',
    ]);
    assert.deepEqual(manifest.contributes.languages[0].extensions, ['.cfg', '.conf']);
});

test('has a setting for the program, korvane-check by default', () => {
    const setting = manifest.contributes.configuration.properties['korvane.path'];
    assert.equal(setting.type, 'string');
    assert.equal(setting.default, 'korvane-check');
});

test('starts the server from the packaged code, with its language client', () => {
    assert.equal(manifest.main, './extension.js');
    assert.ok(files.includes('extension/extension.js'), files.join(' '));
    assert.ok(files.includes('extension/node_modules/vscode-languageclient/node.js'), 'client packaged');
    assert.ok(!files.some((f) => f.startsWith('extension/test/')), 'no tests packaged');
    assert.match(entry(vsix, 'extension/extension.js'), /args: \['--lsp'\]/);
});

test('the .vsix manifest names the extension and VS Code version', () => {
    const xml = entry(vsix, 'extension.vsixmanifest');
    assert.match(xml, /<Identity Language="en-US" Id="korvane" Version="1.0.0" Publisher="korvane"/);
    assert.match(xml, /Microsoft.VisualStudio.Code.Engine" Value="\^1.82.0"/);
});
