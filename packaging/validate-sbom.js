// Validates CycloneDX 1.6 JSON documents with the CycloneDX library's strict
// validator, which also refuses properties the schema does not define.
// Usage: NODE_PATH=DIR/node_modules node packaging/validate-sbom.js FILE...
// where DIR holds @cyclonedx/cyclonedx-library and its JSON validator's
// optional dependencies (ajv, ajv-formats, ajv-formats-draft2019).
'use strict';
const fs = require('fs');
const CDX = require('@cyclonedx/cyclonedx-library');

async function main(files) {
    if (files.length === 0) {
        throw new Error('no file to validate');
    }
    const validator = new CDX.Validation.JsonStrictValidator(CDX.Spec.Version.v1dot6);
    let failed = 0;
    for (const file of files) {
        const errors = await validator.validate(fs.readFileSync(file, 'utf8'));
        if (errors === null) {
            console.log(`valid CycloneDX 1.6: ${file}`);
        } else {
            console.log(`not valid CycloneDX 1.6: ${file}: ${JSON.stringify(errors)}`);
            failed++;
        }
    }
    return failed;
}

main(process.argv.slice(2)).then(
    (failed) => { process.exitCode = failed === 0 ? 0 : 1; },
    (error) => { console.error(`validate-sbom.js: ${error.message}`); process.exitCode = 2; });
