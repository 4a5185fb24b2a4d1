// The strict result parser under Node: hostile texts are refused or read as
// exactly what they hold, and the call details text of every file in the
// decoder's fuzz corpus reads back into records that write the same text.
//
//   node tests/parse/parse_test.js CALL-DETAILS-TEXTS-PROGRAM CORPUS-FOLDER
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const path = require("path");
const parse = require("../../extension/npDravenilFileAccessParse.js");

let failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    console.error(`FAILED: ${what}`);
  }
}
function throws(f, kind, what) {
  try {
    f();
    check(false, `${what}: no exception`);
  } catch (error) {
    check(error instanceof kind, `${what}: ${error}`);
  }
}
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

// The plug-in's quoting, written again: what the parser must undo exactly.
function quote(text) {
  let out = "'";
  for (const c of text) {
    const code = c.codePointAt(0);
    if (c === "\\" || c === "'") out += "\\" + c;
    else if (c === "\r") out += "\\r";
    else if (c === "\n") out += "\\n";
    else if (c === "\u2028" || c === "\u2029") out += c === "\u2028" ? "\\u2028" : "\\u2029";
    else if (code < 0x20 || code === 0x7f) out += "\\x" + code.toString(16).toUpperCase().padStart(2, "0");
    else out += c;
  }
  return out + "'";
}

// ---- Names ----
check(same(parse.workspaceList("[]"), []), "an empty list");
check(same(parse.workspaceList("['North','O\\'Brien, J.']"), ["North", "O'Brien, J."]), "a quote");
check(same(parse.workspaceList("['\\'];alert(1)//']"), ["'];alert(1)//"]), "an escaped breakout stays text");
check(same(parse.workspaceList("['a\\\\','\\r\\n\\x01\\u2028\\u2029']"), ["a\\", "\r\n\x01\u2028\u2029"]), "every escape");
for (const hostile of [
  "['a'];alert(1)//']", "['a'] ", " []", "['a',]", "[,'a']", "['a''b']", "['a\\tb']", "['a\\x1g']",
  "['a\\x1f']", "['a\u2028']", "['a\nb']", "['a\x01']", "['a", "[", "Failed to get folder", " ",
  "[\"a\"]", "['a'],['b']", "['\\u0041']", "[['a']]", "['a\x7f']",
]) {
  throws(() => parse.workspaceList(hostile), SyntaxError, `names ${JSON.stringify(hostile)}`);
}
throws(() => parse.workspaceList(42), TypeError, "names of a number");
// The failure texts each method documents are no result: null.
for (const [f, text] of [["workspaceList", ""], ["workspaceList", "Failed to get folder path"],
  ["callDetails", "Failed to open file"], ["callDetails", "Failed to get folder path"]]) {
  check(parse[f](text) === null, `${f} of the failure text ${JSON.stringify(text)}`);
}

// ---- Call details ----
check(same(parse.callDetails("[[7,1,[3,'ab','xyz']],[-1,0]]"),
  [{ key: 7, count: 1, details: [{ id: 3, name: "ab", value: "xyz" }] }, { key: -1, count: 0, details: [] }]),
  "the worked example");
check(same(parse.callDetails("[[-2147483648,1,[2147483647,'','\\'']]]"),
  [{ key: -2147483648, count: 1, details: [{ id: 2147483647, name: "", value: "'" }] }]), "the extremes");
for (const hostile of [
  "[[7,1,[3,'ab','xyz']]];alert(1)", "[[7]]", "[[7,1,[3,'a']]]", "[[2147483648,0]]", "[[-0,0]]",
  "[[07,0]]", "[[7,0],]", "[[1e3,0]]", "[[7,0,3]]", "[[7,0,[3,'a','b',4]]]", "Failed to open file.", "",
  "[[7,1,[3,'a'+alert(1)+'','b']]]",
]) {
  throws(() => parse.callDetails(hostile), SyntaxError, `details ${JSON.stringify(hostile)}`);
}

// ---- Volumes ----
check(same(parse.volumes("[[7,80],[12,100],[5,a=b,c]]"), [["7", "80"], ["12", "100"], ["5", "a=b,c"]]), "volumes");
check(same(parse.volumes("[]"), []), "no volumes");
for (const hostile of ["[[7,80]];alert(1)", "[[7]]", "[[7,[80]]]", "[[7,80]", "[7,80]", "[[7,80]][]"]) {
  throws(() => parse.volumes(hostile), SyntaxError, `volumes ${JSON.stringify(hostile)}`);
}

// ---- The decoder's corpus, through the plug-in's own decoder ----
const [program, corpus] = process.argv.slice(2);
if (program && corpus) {
  const files = fs.readdirSync(corpus).map((f) => path.join(corpus, f));
  const lines = execFileSync(program, files).toString().trim().split("\n");
  check(lines.length === files.length, "one text per corpus file");
  lines.forEach((hex, i) => {
    // As a browser reads the plug-in's bytes: UTF-8, anything else U+FFFD.
    const text = Buffer.from(hex, "hex").toString("utf8");
    let records;
    try {
      records = parse.callDetails(text);
    } catch (error) {
      check(false, `${path.basename(files[i])}: ${error.message}`);
      return;
    }
    const written = "[" + records.map((r) => "[" + [r.key, r.count, ...r.details.map(
      (d) => `[${d.id},${quote(d.name)},${quote(d.value)}]`)].join(",") + "]").join(",") + "]";
    check(written === text, `${path.basename(files[i])}: the records write another text`);
  });
  console.log(`parse: ${files.length} corpus texts read back exactly`);
}

if (failures) process.exit(1);
console.log("parse: hostile texts refused or read as written");
