// A real Minecraft: Java Edition status service, minecraft-protocol's own
// server, as an independent peer for the Minecraft tests: it answers the
// status exchange (and its ping) and the legacy ping the way that library
// does, with the values below.
//
//   node mc_server.mjs
//
// Listens on 127.0.0.1 on a free port, and prints "minecraft 127.0.0.1:PORT"
// then "ready", as morvane-gamesim does. Runs until its standard input ends,
// or for at most 60 seconds.
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { createServer } = require('minecraft-protocol');

// What the server states: a message of the day with formatting codes, its
// count and maximum, and the sample that the beforePing hook puts in.
const motd = '\u00a7aMorvane \u00a7fpeer';
const maxPlayers = 50;
const sample = [
  { name: 'Alex', id: '4d6f7276-616e-4500-8000-00000000000a' },
  { name: 'Ника', id: '4d6f7276-616e-4500-8000-00000000000b' },
];
const runMs = 60 * 1000;

const server = createServer({
  host: '127.0.0.1',
  port: 0,
  'online-mode': false,
  motd,
  maxPlayers,
  hideErrors: true,
  beforePing: (response) => {
    response.players.online = sample.length;
    response.players.sample = sample;
    return response;
  },
});
// The legacy ping reads the count from the server itself.
server.playerCount = sample.length;

function stop() {
  server.close();
  process.exit(0);
}

server.on('error', (error) => {
  console.error(`mc_server: ${error.message}`);
  process.exit(1);
});
server.on('listening', () => {
  const { port } = server.socketServer.address();
  process.stdout.write(`minecraft 127.0.0.1:${port}\nready\n`);
});
process.stdin.on('end', stop);
process.stdin.on('close', stop);
process.stdin.resume();
setTimeout(stop, runMs).unref();
