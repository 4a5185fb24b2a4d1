// The extension as an administrator deploys it: Chromium installs it from an
// update location by its own policy (ExtensionInstallForcelist, with no
// --load-extension), the extension learns from the host which pages the
// machine's origin policy serves, a page of such an origin makes calls, a
// page of another origin sees nothing, and a changed policy holds without a
// restart.
//
// Chromium's policy folder is read by every Chromium on the machine: the
// file has a name of this test's own, is removed on every path, and the test
// holds ctest's lock on the browsers while it exists.
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const path = require("path");
const shared = require("./browser_test.js");

const policyFolder = "/etc/chromium/policies/managed";
const policyFile = path.join(policyFolder, `dravenil-file-access-test-${process.pid}.json`);
let madeFolder = null;  // the topmost folder the test made, if any
const removePolicyFile = () => {
  fs.rmSync(policyFile, { force: true });
  if (madeFolder) fs.rmSync(madeFolder, { recursive: true, force: true });
  madeFolder = null;
};
process.on("exit", removePolicyFile);
for (const signal of ["SIGINT", "SIGTERM"]) process.on(signal, () => process.exit(1));

async function main() {
  const chromiumBinary = "/usr/lib/chromium/chromium";
  if (!fs.existsSync(chromiumBinary)) {
    console.log(`SKIPPED: no ${chromiumBinary}`);
    process.exit(77);
  }
  try {
    madeFolder = fs.mkdirSync(policyFolder, { recursive: true }) || null;
    fs.accessSync(policyFolder, fs.constants.W_OK);
  } catch (error) {
    console.log(`SKIPPED: ${policyFolder} cannot be written here (run as root)`);
    process.exit(77);
  }
  if (shared.policyIsSet()) throw new Error("an origin policy is already set in this prefix; the test sets its own");

  const scratch = shared.scratch;
  const built = path.join(scratch, "deployed");
  const key = path.join(scratch, "key.pem");
  execFileSync("openssl", ["genrsa", "-out", key, "2048"], { stdio: "ignore" });

  // The update location, and two page origins.
  const files = {};
  const updates = http.createServer((request, response) => {
    const name = request.url.replace(/^\/ext\//, "").replace(/\?.*$/, "");
    if (!files[name]) { response.writeHead(404); return response.end(); }
    response.writeHead(200, { "content-type": name.endsWith(".crx") ? "application/x-chrome-extension" : "text/xml" });
    response.end(fs.readFileSync(files[name]));
  });
  await new Promise((resolve) => updates.listen(0, "127.0.0.1", resolve));
  const updateBase = `http://127.0.0.1:${updates.address().port}/ext`;
  const pages = await shared.twoPageOrigins("127.0.0.1", built);
  const { origin, otherOrigin } = pages;

  const printed = execFileSync(path.join(shared.root, "scripts", "extension.sh"),
    ["--out", built, "--key", key, "--update-url", updateBase], { env: shared.wineEnv }).toString();
  const id = /\(id ([a-p]{32})\)/.exec(printed)[1];
  files["updates.xml"] = path.join(built, "updates.xml");
  files["fileaccess.crx"] = path.join(built, "fileaccess.crx");
  const profile = path.join(scratch, "policy-profile");
  fs.mkdirSync(path.join(profile, "NativeMessagingHosts"), { recursive: true });
  fs.copyFileSync(path.join(built, "com.dravenil.fileaccess.json"),
    path.join(profile, "NativeMessagingHosts", "com.dravenil.fileaccess.json"));

  fs.writeFileSync(policyFile, JSON.stringify({ ExtensionInstallForcelist: [`${id};${updateBase}/updates.xml`] }));
  shared.setPolicy(origin);
  // Chromium itself: Debian's wrapper may add --disable-background-networking,
  // which blocks the install.
  // A fresh profile, the product's page in the first tab: it loads before
  // the extension is installed and before it knows the policy.
  const { chromium, cdp } = shared.startChromium(chromiumBinary, profile, null, path.join(scratch, "policy-config"),
    shared.wineEnv, origin + "/first");
  try {
    const deadline = Date.now() + 40000;
    for (;;) {
      const { targetInfos } = await cdp.send("Target.getTargets");
      if (targetInfos.some((t) => t.type === "service_worker" && t.url.startsWith(`chrome-extension://${id}/`))) break;
      if (Date.now() > deadline) throw new Error("Chromium did not install the extension by its policy");
      await new Promise((r) => setTimeout(r, 500));
    }
    const { targetInfos } = await cdp.send("Target.getTargets");
    const first = targetInfos.find((t) => t.type === "page" && t.url === origin + "/first");
    if (!first) throw new Error("the first tab is not showing the first page");
    const session = (await cdp.send("Target.attachToTarget", { targetId: first.targetId, flatten: true })).sessionId;
    const route = (await cdp.evaluate(session, "window.__first")).result.value;
    if (!/^extension after \d+ ms$/.test(route)) shared.fail(`the first page, without a reload: ${route}`);
    else console.log(`policy install: the first page found the ${route}`);
    await shared.followsThePolicy((url, expression) => shared.evaluateIn(cdp, url, expression), origin, otherOrigin, 60);
    if (!process.exitCode) console.log(`policy install: extension ${id} installed by policy, serving the policy's origins`);
  } finally {
    shared.removePolicy();
    removePolicyFile();
    await shared.stopChromium(chromium);
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
