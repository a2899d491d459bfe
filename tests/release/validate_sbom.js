// Validates a CycloneDX 1.6 JSON SBOM with the CycloneDX project's own
// library and its JSON schemas. Usage: node validate_sbom.js FILE
const fs = require('fs');
const { Validation } = require('@cyclonedx/cyclonedx-library');

// The library's version enum holds the version as its text.
const validator = new Validation.JsonStrictValidator('1.6');
validator.validate(fs.readFileSync(process.argv[2], 'utf8')).then(
  (errors) => {
    if (errors === null) {
      console.log('ok   the SBOM is valid CycloneDX 1.6');
    } else {
      console.error('FAIL the SBOM is not valid CycloneDX 1.6:');
      console.error(JSON.stringify(errors, null, 2));
      process.exit(1);
    }
  },
  (error) => {
    console.error(`FAIL the SBOM could not be validated: ${error}`);
    process.exit(1);
  });
