// The README's recipe for Chromium on Linux, followed as written: its shell
// lines run as they stand, in a home of the test's own, and Chromium starts
// with the recipe's own arguments (headless, and with the page of a local
// server the policy names in place of the example's). The page must find
// the extension's route and get an answer from the host.
"use strict";
const { execFileSync, spawn } = require("child_process");
const fs = require("fs");
const http = require("http");
const path = require("path");
const shared = require("./browser_test.js");

function recipe() {
  const readme = fs.readFileSync(path.join(shared.root, "README.md"), "utf8");
  const after = readme.split("<!-- linux-chromium-recipe -->")[1];
  if (!after) throw new Error("the README has no Chromium recipe");
  const lines = [];
  for (const line of after.replace(/^\n+/, "").split("\n")) {
    if (!line.startsWith("    ")) break;
    lines.push(line.slice(4));
  }
  return lines;
}

async function main() {
  const lines = recipe();
  const start = lines.pop();
  if (!/^chromium /.test(start)) throw new Error(`the recipe does not end by starting Chromium: ${start}`);
  const home = path.join(shared.scratch, "recipe-home");
  fs.mkdirSync(home, { recursive: true });
  const env = { ...shared.wineEnv, HOME: home };
  delete env.XDG_CONFIG_HOME;
  execFileSync("bash", ["-euo", "pipefail", "-c", lines.join("\n")], { cwd: shared.root, env, stdio: "inherit" });

  const server = http.createServer((request, response) => {
    if (shared.serveClient(request, response, path.join(home, "dravenil-extension"))) return;
    response.writeHead(200, { "content-type": "text/html" });
    response.end('<!doctype html><title>recipe</title><script src="/npDravenilFileAccess.js"></script>');
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const origin = `http://127.0.0.1:${server.address().port}`;
  if (shared.policyIsSet()) throw new Error("an origin policy is already set in the browsers' prefix");
  shared.setPolicy(origin);
  // The recipe's arguments, evaluated by the shell as the user's would be.
  const args = JSON.parse(execFileSync("bash", ["-c",
    `set -- ${start.replace(/^chromium /, "")}; node -e 'console.log(JSON.stringify(process.argv.slice(1)))' -- "$@"`],
  { env, encoding: "utf8" }));
  const page = args.map((arg) => (arg === "https://calls.example/" ? origin + "/" : arg));
  // Headless Chromium takes no default profile: the recipe's default one is
  // named, as the README says to.
  const chromium = spawn("/usr/lib/chromium/chromium", ["--headless=new", "--no-sandbox", "--disable-gpu",
    "--no-first-run", "--remote-debugging-pipe", `--user-data-dir=${path.join(home, ".config", "chromium")}`,
    ...page.filter((a) => a !== origin + "/"), "about:blank"],
  { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"], env, detached: true });
  const cdp = new shared.Cdp(chromium);
  try {
    let route = "";
    for (let attempt = 0; attempt < 5 && !route.startsWith("extension "); attempt++) {
      route = String(await shared.evaluateIn(cdp, origin + "/", `DravenilFileAccess.ready().then(
        (r) => DravenilFileAccess.fileExists("C:\\\\windows\\\\win.ini").then((v) => r.route + " " + v),
        (e) => e.name + ": " + e.message)`));
    }
    if (route !== "extension true") shared.fail(`the README's Chromium recipe: ${route}`);
    else console.log("linux recipe: the README's lines set up Chromium, and its page reaches the host");
  } finally {
    shared.removePolicy();
    server.close();
    await shared.stopChromium(chromium);
    fs.rmSync(shared.scratch, { recursive: true, force: true });
  }
}

main().catch((error) => {
  shared.fail(error.message);
  fs.rmSync(shared.scratch, { recursive: true, force: true });
});
