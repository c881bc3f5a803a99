#!/usr/bin/env node
// Usage: node validate.js FILE.glb|FILE.gltf ...
// Runs the Khronos glTF validator over each file (resources beside a .gltf are
// read from its folder), prints every error and warning, and exits 1 when any
// file has one, 2 when the validator cannot be loaded or a file cannot be read.
'use strict';
const fs = require('fs');
const path = require('path');

let validator;
try {
    validator = require('gltf-validator');
} catch (error) {
    console.error('gltf-validate: the validator is not installed; run `npm ci` in ' + __dirname);
    process.exit(2);
}

async function check(file) {
    const bytes = new Uint8Array(fs.readFileSync(file));
    const folder = path.dirname(file);
    const report = await validator.validateBytes(bytes, {
        uri: path.basename(file),
        maxIssues: 100,
        externalResourceFunction: (uri) =>
            new Promise((resolve, reject) => {
                fs.readFile(path.join(folder, decodeURIComponent(uri)), (error, data) =>
                    error ? reject(error.toString()) : resolve(new Uint8Array(data)));
            }),
    });
    const issues = report.issues;
    for (const message of issues.messages) {
        if (message.severity > 1) continue;  // 0 error, 1 warning; information and hints pass
        const kind = message.severity === 0 ? 'error' : 'warning';
        console.log(`${file}: ${kind} ${message.code} at ${message.pointer || '/'}: ${message.message}`);
    }
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings`);
    return issues.numErrors + issues.numWarnings === 0;
}

(async () => {
    const files = process.argv.slice(2);
    if (files.length === 0) {
        console.error('usage: node validate.js FILE.glb|FILE.gltf ...');
        process.exit(2);
    }
    let clean = true;
    for (const file of files) {
        try {
            clean = (await check(file)) && clean;
        } catch (error) {
            console.error(`${file}: cannot be validated: ${error}`);
            process.exit(2);
        }
    }
    process.exit(clean ? 0 : 1);
})();
