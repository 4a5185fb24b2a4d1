// Strict readers of the three bracketed texts the plug-in's methods answer,
// for page script that must never evaluate them:
//
//   DravenilParse.workspaceList("['North','O\\'Brien']")  -> ["North", "O'Brien"]
//   DravenilParse.callDetails("[[7,1,[3,'ab','xyz']]]")
//       -> [{ key: 7, count: 1, details: [{ id: 3, name: "ab", value: "xyz" }] }]
//   DravenilParse.volumes("[[7,80],[12,100]]")            -> [["7", "80"], ["12", "100"]]
//
// The failure texts its method documents come back as null: "" and "Failed
// to get folder path" for workspaceList, "Failed to open file" and "Failed
// to get folder path" for callDetails (volumes have none: "[]" is an empty
// list). Each throws a SyntaxError, naming the position, for any other text
// that is not exactly of its form.
// Quoted texts take the escapes the plug-in writes: \\ \' \r \n \xHH \u2028
// \u2029. Load it with a <script> element (it defines DravenilParse) or
// require() it; the extension offers the same as DravenilFileAccess.parse.
const DravenilParse = (() => {
  "use strict";

  class Reader {
    constructor(text, what) {
      if (typeof text !== "string") throw new TypeError(`${what}: the text is not a string`);
      this.text = text;
      this.at = 0;
      this.what = what;
    }
    fail(expected) {
      throw new SyntaxError(`${this.what}: ${expected} was expected at ${this.at}`);
    }
    take(c) {
      if (this.text[this.at] !== c) this.fail(`"${c}"`);
      this.at++;
    }
    peek(c) {
      return this.text[this.at] === c;
    }
    end() {
      if (this.at !== this.text.length) this.fail("the end of the text");
    }
    // A list: "[" item ("," item)* "]" or "[]".
    list(item) {
      const items = [];
      this.take("[");
      if (this.peek("]")) {
        this.at++;
        return items;
      }
      for (;;) {
        items.push(item());
        if (this.peek("]")) {
          this.at++;
          return items;
        }
        this.take(",");
      }
    }
    // A 32-bit signed integer in decimal, as the plug-in writes it.
    integer() {
      const match = /^-?(0|[1-9][0-9]{0,9})/.exec(this.text.slice(this.at, this.at + 12));
      if (!match) this.fail("a number");
      const value = Number(match[0]);
      if (value < -2147483648 || value > 2147483647 || match[0] === "-0") this.fail("a 32-bit number");
      this.at += match[0].length;
      return value;
    }
    quoted() {
      this.take("'");
      let out = "";
      for (;;) {
        if (this.at >= this.text.length) this.fail("\"'\"");
        const c = this.text[this.at];
        if (c === "'") {
          this.at++;
          return out;
        }
        if (c === "\\") {
          const escape = this.text.slice(this.at, this.at + 6);
          if (escape[1] === "\\" || escape[1] === "'") out += escape[1];
          else if (escape[1] === "r") out += "\r";
          else if (escape[1] === "n") out += "\n";
          else if (/^\\x[0-9A-F]{2}$/.test(escape.slice(0, 4))) {
            out += String.fromCharCode(parseInt(escape.slice(2, 4), 16));
            this.at += 2;
          } else if (escape === "\\u2028" || escape === "\\u2029") {
            out += escape === "\\u2028" ? "\u2028" : "\u2029";
            this.at += 4;
          } else this.fail("an escape the plug-in writes");
          this.at += 2;
          continue;
        }
        // What the plug-in always escapes never stands in a text as itself.
        const code = c.charCodeAt(0);
        if (code < 0x20 || code === 0x7f || c === "\u2028" || c === "\u2029") this.fail("an escaped character");
        out += c;
        this.at++;
      }
    }
    // Raw text up to one of `stops`, as the volume list writes it.
    raw(stops) {
      const start = this.at;
      while (this.at < this.text.length && !stops.includes(this.text[this.at])) {
        if (this.text[this.at] === "[") this.fail("no \"[\" inside an entry");
        this.at++;
      }
      return this.text.slice(start, this.at);
    }
  }

  // The failure answers each method documents.
  const kFailures = Object.freeze({
    workspaceList: Object.freeze(["", "Failed to get folder path"]),
    callDetails: Object.freeze(["Failed to open file", "Failed to get folder path"]),
  });
  const isFailure = (what, text) => typeof text === "string" && kFailures[what].includes(text);

  function workspaceList(text) {
    if (isFailure("workspaceList", text)) return null;
    const r = new Reader(text, "workspaceList");
    const names = r.list(() => r.quoted());
    r.end();
    return names;
  }

  function callDetails(text) {
    if (isFailure("callDetails", text)) return null;
    const r = new Reader(text, "callDetails");
    const records = r.list(() => {
      r.take("[");
      const key = r.integer();
      r.take(",");
      const count = r.integer();
      const details = [];
      while (r.peek(",")) {
        r.at++;
        r.take("[");
        const id = r.integer();
        r.take(",");
        const name = r.quoted();
        r.take(",");
        const value = r.quoted();
        r.take("]");
        details.push({ id, name, value });
      }
      r.take("]");
      return { key, count, details };
    });
    r.end();
    return records;
  }

  function volumes(text) {
    const r = new Reader(text, "volumes");
    const pairs = r.list(() => {
      r.take("[");
      const name = r.raw([",", "]"]);
      r.take(",");
      const value = r.raw(["]"]);
      r.take("]");
      return [name, value];
    });
    r.end();
    return pairs;
  }

  return Object.freeze({ workspaceList, callDetails, volumes });
})();
if (typeof module === "object" && module.exports) module.exports = DravenilParse;
