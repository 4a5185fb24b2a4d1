# One request to a native-messaging host, as a browser frames it (a 4-byte
# little-endian length, then the JSON text). Sourced:
#
#   host_answer JSON COMMAND...
#
# runs COMMAND with the framed JSON on its input and prints the text of its
# first answer (the frame's length left off).
host_answer() {
  local request=$1
  shift
  node -e '
    const text = Buffer.from(process.argv[1]);
    const header = Buffer.alloc(4);
    header.writeUInt32LE(text.length, 0);
    process.stdout.write(Buffer.concat([header, text]));' "$request" | "$@" 2>/dev/null | tail -c +5
}
