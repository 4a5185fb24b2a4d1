#!/usr/bin/env node
// Writes a workspace of realistic data for trying a page against: a call
// details file (Calls.dat) of N records, the Calls folder with an entry for
// every other call, and a Workspace.ini with view settings and timeline
// volumes.
//
//   node scripts/sample-workspace.js --outer O --inner I --workspace W
//        [--records N] [--call-bytes B] [--appdata DIR]
//
// Each entry of Calls holds B bytes (0 by default); give it a size, such as
// 65536, to try progress by bytes on realistic data.
// DIR is the local application-data folder (by default the one of the
// project's Wine prefix, build/wine); the workspace goes below
// DIR/Dravenil/Workspaces/O/I/W. The layout of Calls.dat is described in the
// script API reference ("Calls").
"use strict";
const fs = require("fs");
const path = require("path");

function option(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  if (at < 0) return fallback;
  if (at + 1 >= process.argv.length) usage();
  return process.argv[at + 1];
}
const kUsage = "usage: node scripts/sample-workspace.js --outer O --inner I --workspace W [--records N] " +
  "[--call-bytes B] [--appdata DIR]\n\n" +
  "Writes a workspace below DIR/Dravenil/Workspaces/O/I/W (DIR: the local application data of\n" +
  "the Wine prefix in WINEPREFIX, else build/wine): Calls.dat of N calls (1000), the Calls\n" +
  "folder with an entry of B bytes (0) for every other call, and a Workspace.ini.\n";
function usage() {
  process.stderr.write(kUsage);
  process.exit(2);
}
if (process.argv.includes("--help") || process.argv.includes("-h")) {
  process.stdout.write(kUsage);
  process.exit(0);
}

// The project's prefix's local application-data folder.
function prefixAppData() {
  const users = path.join(process.env.WINEPREFIX || path.join(__dirname, "..", "build", "wine"), "drive_c", "users");
  const user = fs.readdirSync(users).find((u) => u !== "Public" && fs.existsSync(path.join(users, u, "AppData", "Local")));
  if (!user) throw new Error(`no user with a local application-data folder below ${users}`);
  return path.join(users, user, "AppData", "Local");
}

// One text of a detail: its bytes after a length of one byte (first) or of
// one or two bytes (second: below 128 one byte; else L - 128 + 128 * next).
function firstText(text) {
  const bytes = Buffer.from(text, "utf8");
  if (bytes.length > 255) throw new Error("a first text holds at most 255 bytes");
  return Buffer.concat([Buffer.from([bytes.length]), bytes]);
}
function secondText(text) {
  const bytes = Buffer.from(text, "utf8");
  if (bytes.length >= 128 * 256) throw new Error("a second text holds at most 32,767 bytes");
  const length = bytes.length < 128 ? Buffer.from([bytes.length])
    : Buffer.from([128 + (bytes.length % 128), Math.floor(bytes.length / 128)]);
  return Buffer.concat([length, bytes]);
}
function int32(value) {
  const b = Buffer.alloc(4);
  b.writeInt32LE(value, 0);
  return b;
}

function callsDat(records) {
  const parts = [int32(records)];
  const agents = ["Ana Lima", "Bo Nordin", "Chidi Obi", "Dana O'Neil"];
  for (let i = 0; i < records; i++) {
    const details = [
      [1, "Agent", agents[i % agents.length]],
      [2, "Duration", `${60 + (i * 37) % 900} s`],
      [3, "Direction", i % 2 ? "inbound" : "outbound"],
    ];
    // Now and then a long note, whose length takes two bytes.
    if (i % 50 === 0) details.push([4, "Notes", `Call ${100000 + i}: ` + "follow-up needed. ".repeat(12)]);
    parts.push(int32(100000 + i), int32(details.length));
    for (const [key, first, second] of details) parts.push(int32(key), firstText(first), secondText(second));
  }
  return Buffer.concat(parts);
}

const outer = option("outer"), inner = option("inner"), workspace = option("workspace");
if (!outer || !inner || !workspace) usage();
const records = Number(option("records", "1000"));
if (!Number.isInteger(records) || records < 0 || records > 10000000) usage();
const callBytes = Number(option("call-bytes", "0"));
if (!Number.isInteger(callBytes) || callBytes < 0 || callBytes > 1 << 30) usage();
const callContent = Buffer.alloc(callBytes, 0x55);
const folder = path.join(option("appdata") || prefixAppData(), "Dravenil", "Workspaces", outer, inner, workspace);
fs.mkdirSync(path.join(folder, "Calls"), { recursive: true });
fs.writeFileSync(path.join(folder, "Calls.dat"), callsDat(records));
for (let i = 0; i < records; i += 2) fs.writeFileSync(path.join(folder, "Calls", String(100000 + i)), callContent);
fs.writeFileSync(path.join(folder, "Workspace.ini"), [
  "[General]", "CurrentView=grid", "WorkspaceOpen=1", "WorkspaceChanged=0",
  "[GridSettings]", "SortColumnID=Agent", "SortOrder=asc", "LastPage=1",
  "[GridColWidths]", "Agent=140", "Duration=80",
  "[TimelineSettings]", "ZoomLevel=3", "YAxis=Agent", "NavVisible=1",
  "[TimelineVolumes]", "1=80", "2=100", "",
].join("\r\n"));
console.log(`${folder}: ${records} calls, ${Math.ceil(records / 2)} of them in Calls, of ${callBytes} bytes each`);
