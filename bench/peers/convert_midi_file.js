// The second peer of bench_convert: npm's midi-file parses each MIDI file of
// a folder, merges its tracks by absolute time, rescales to 120 ticks a
// quarter and writes it; prints the MB/s of input.
//   node convert_midi_file.js FOLDER [PASSES]   (NODE_PATH: where midi-file is installed)
const fs = require("fs");
const path = require("path");
const { parseMidi, writeMidi } = require("midi-file");

function convert(data) {
  const midi = parseMidi(data);
  const division = midi.header.ticksPerBeat;
  const events = [];
  midi.tracks.forEach((track, t) => {
    let tick = 0;
    track.forEach((event, i) => {
      tick += event.deltaTime;
      if (event.type !== "endOfTrack") events.push({ tick, t, i, event });
    });
  });
  events.sort((a, b) => a.tick - b.tick || a.t - b.t || a.i - b.i);
  const track = [];
  let last = 0;
  for (const { tick, event } of events) {
    const scaled = Math.round((tick * 120) / division);
    event.deltaTime = scaled - last;
    last = scaled;
    track.push(event);
  }
  track.push({ deltaTime: 0, meta: true, type: "endOfTrack" });
  return writeMidi({ header: { format: 0, numTracks: 1, ticksPerBeat: 120 }, tracks: [track] });
}

const folder = process.argv[2];
const passes = Number(process.argv[3] || 3);
const files = fs.readdirSync(folder).sort().map((name) => fs.readFileSync(path.join(folder, name)));
let total = 0;
let refused = 0;
const start = process.cpuUsage();  // processor time, as bench_convert counts it
for (let p = 0; p < passes; p++) {
  for (const data of files) {
    try {
      convert(data);
      total += data.length;
    } catch (e) {
      refused++;
    }
  }
}
const used = process.cpuUsage(start);
const seconds = (used.user + used.system) / 1e6;
console.log(`midi-file: ${(total / seconds / 1e6).toFixed(2)} MB/s (${files.length} files, ${refused / passes} refused)`);
