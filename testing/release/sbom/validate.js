// Checks a CycloneDX 1.6 JSON bill of materials against the schema, with
// the CycloneDX library's strict validator (its schemas are in the package;
// nothing is fetched). Exits 0 when valid, else prints the errors, exits 1.
//   node validate.js <bom.json>
'use strict';
const fs = require('fs');
const { Spec, Validation } = require('@cyclonedx/cyclonedx-library');

const validator = new Validation.JsonStrictValidator(Spec.Version.v1dot6);
validator.validate(fs.readFileSync(process.argv[2], 'utf8')).then(
  (errors) => {
    if (errors === null) return;
    console.log(JSON.stringify(errors, null, 2));
    process.exitCode = 1;
  },
  (failure) => {
    console.log(String(failure));
    process.exitCode = 2;
  });
