#!/usr/bin/env bash
# The sample workspace for page authors reads back through the module as
# written: its call details, which calls are missing, and its settings.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export WINEPREFIX="${WINEPREFIX:-$root/build/wine}" WINEDEBUG=-all
outer="sample-test-$$"
appdata=$(node -e '
  const fs = require("fs"), path = require("path");
  const users = path.join(process.env.WINEPREFIX, "drive_c", "users");
  const user = fs.readdirSync(users).find((u) => u !== "Public" && fs.existsSync(path.join(users, u, "AppData", "Local")));
  console.log(path.join(users, user, "AppData", "Local"));')
trap 'rm -rf "$appdata/Dravenil/Workspaces/$outer"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

node scripts/sample-workspace.js --outer "$outer" --inner I --workspace W --records 300 --call-bytes 2048 >/dev/null ||
  fail "the generator"
[ "$(stat -c %s "$appdata/Dravenil/Workspaces/$outer/I/W/Calls/100002")" = 2048 ] || fail "a call file is not of --call-bytes"
node scripts/sample-workspace.js --help | grep -q -- "--call-bytes" || fail "--help"
answers=$(wine build/windows/bin/plugin-console.exe --quiet \
  "getCallDetailsForWorkspace(\"$outer\", \"W\", \"I\")" \
  "getMissingOrBufferingCalls(\"$outer\", \"W\", \"I\", \"100000,100001,100002\")" \
  "readWSCurrentView(\"$outer\", \"W\", \"I\")" "getTimelineVols(\"$outer\", \"W\", \"I\")" \
  2>/dev/null </dev/null | tr -d '\r')
node -e '
  const parse = require("./extension/npDravenilFileAccessParse.js");
  const [details, missing, view, volumes] = require("fs").readFileSync(0, "utf8").trim().split("\n").map(JSON.parse);
  const records = parse.callDetails(details);
  const ok = records.length === 300 && records[0].key === 100000 && records[3].details[0].value === "Dana O'"'"'Neil" &&
    records[299].details.length === 3 && records[0].details[3].value.length > 200 && missing === "100001" && view === "grid" && volumes === "[[1,80],[2,100]]";
  if (!ok) { console.error(JSON.stringify({ n: records.length, first: records[3], missing, view, volumes })); process.exit(1); }
' <<<"$answers" || fail "the sample read back: $answers"
echo "sample workspace: 300 calls, the missing ones and the settings read back through the module"
