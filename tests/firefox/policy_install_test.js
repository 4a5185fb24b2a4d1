// The Firefox build as an administrator deploys it: Firefox ESR installs the
// .xpi from an update location by its own policy (ExtensionSettings,
// force_installed; an unsigned add-on, which ESR takes with
// xpinstall.signatures.required locked to false by policy), the extension
// serves exactly the machine policy's origins, and a changed policy holds
// without a restart.
//
// Firefox reads /etc/firefox/policies/policies.json, one file for every
// Firefox on the machine: the test runs only when there is none, removes it
// on every path, and holds ctest's lock on the browsers while it exists.
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const path = require("path");
const shared = require("../chromium/browser_test.js");
const { plain, startFirefox } = require("./browser_test.js");

const policyFolder = "/etc/firefox/policies";
const policyFile = path.join(policyFolder, "policies.json");
let madeFolder = null, madeFile = false;  // the topmost folder the test made
function removePolicyFile() {
  if (madeFile) fs.rmSync(policyFile, { force: true });
  if (madeFolder) fs.rmSync(madeFolder, { recursive: true, force: true });
  madeFile = false;
  madeFolder = null;
}
process.on("exit", removePolicyFile);
for (const signal of ["SIGINT", "SIGTERM"]) process.on(signal, () => process.exit(1));

async function main() {
  if (fs.existsSync(policyFile)) {
    console.log(`SKIPPED: ${policyFile} is there already and is not this test's`);
    process.exit(77);
  }
  try {
    if (!fs.existsSync(policyFolder)) {
      madeFolder = fs.mkdirSync(policyFolder, { recursive: true });
    }
    fs.accessSync(policyFolder, fs.constants.W_OK);
  } catch (error) {
    console.log(`SKIPPED: ${policyFolder} cannot be written here (run as root)`);
    process.exit(77);
  }
  if (shared.policyIsSet()) throw new Error("an origin policy is already set in this prefix; the test sets its own");

  const scratch = shared.scratch;
  const built = path.join(scratch, "firefox-deployed");
  const updates = http.createServer((request, response) => {
    const file = path.join(built, path.basename(request.url.replace(/\?.*$/, "")));
    if (!fs.existsSync(file)) { response.writeHead(404); return response.end(); }
    response.writeHead(200, { "content-type": file.endsWith(".xpi") ? "application/x-xpinstall" : "application/json" });
    response.end(fs.readFileSync(file));
  });
  await new Promise((resolve) => updates.listen(0, "127.0.0.1", resolve));
  const updateBase = `http://127.0.0.1:${updates.address().port}/ext`;
  const pages = await shared.twoPageOrigins("localhost", built);
  const { origin, otherOrigin } = pages;

  execFileSync(path.join(shared.root, "scripts", "extension.sh"),
    ["--browser", "firefox", "--out", built, "--update-url", updateBase], { env: shared.wineEnv, stdio: "ignore" });
  const home = path.join(scratch, "firefox-policy-home");
  const hosts = path.join(home, ".mozilla", "native-messaging-hosts");
  fs.mkdirSync(hosts, { recursive: true });
  fs.copyFileSync(path.join(built, "com.dravenil.fileaccess.json"), path.join(hosts, "com.dravenil.fileaccess.json"));
  const profile = path.join(scratch, "firefox-policy-profile");
  fs.mkdirSync(profile, { recursive: true });

  fs.writeFileSync(policyFile, JSON.stringify({ policies: {
    ExtensionSettings: { "fileaccess@dravenil.com": { installation_mode: "force_installed",
                                                     install_url: `${updateBase}/fileaccess.xpi` } },
    Preferences: { "xpinstall.signatures.required": { Value: false, Status: "locked" } },
  } }));
  madeFile = true;
  shared.setPolicy(origin);
  let firefox, bidi;
  try {
    // A fresh profile, the product's page in the first tab: it loads before
    // the add-on is installed and before it knows the policy.
    ({ firefox, bidi } = await startFirefox(profile, home, origin + "/first"));
    const tree = await bidi.send("browsingContext.getTree", {});
    const first = tree.contexts.find((c) => c.url === origin + "/first") || tree.contexts[0];
    const route = plain((await bidi.send("script.evaluate",
      { expression: "window.__first", target: { context: first.context }, awaitPromise: true })).result);
    if (!/^extension after \d+ ms$/.test(route)) shared.fail(`the first page, without a reload: ${route}`);
    else console.log(`firefox policy install: the first page found the ${route}`);
    const { context } = await bidi.send("browsingContext.create", { type: "tab" });
    const evaluate = async (url, expression) => {
      await bidi.send("browsingContext.navigate", { context, url, wait: "complete" });
      return plain((await bidi.send("script.evaluate",
        { expression, target: { context }, awaitPromise: true })).result);
    };
    // Firefox installs the add-on by its policy first: up to a minute and a half.
    await shared.followsThePolicy(evaluate, origin, otherOrigin, 90);
    if (!process.exitCode) console.log("firefox policy install: the add-on installed by policy, serving the policy's origins");
  } finally {
    shared.removePolicy();
    removePolicyFile();
    if (bidi) bidi.close();
    if (firefox) firefox.kill();
    if (firefox) await new Promise((resolve) => (firefox.exitCode !== null ? resolve() : firefox.once("exit", resolve)));
    updates.close();
    pages.close();
    fs.rmSync(scratch, { recursive: true, force: true, maxRetries: 20, retryDelay: 250 });
  }
}

main().catch((error) => {
  shared.fail(error.message);
  shared.removePolicy();
  removePolicyFile();
});
