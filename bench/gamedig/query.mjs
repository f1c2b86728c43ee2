// The peer of the distance benchmark: gamedig asks every server at once, as
// its users do. Prints the wall time and how many servers answered.
//   node query.mjs PORT,PORT,... [SOCKET_TIMEOUT_MS] [GAMEDIG_TYPE]
import { GameDig } from 'gamedig';

const ports = process.argv[2].split(',');
const socketTimeout = Number(process.argv[3] ?? 1000);
const type = process.argv[4] || 'protocol-valve';
const started = performance.now();
const answered = await Promise.all(
  ports.map((port) =>
    GameDig.query({ type, host: '127.0.0.1', port: Number(port), socketTimeout, givenPortOnly: true })
      .then(() => true, () => false)));
const ms = Math.round(performance.now() - started);
console.log(`${ms} ms, ${answered.filter(Boolean).length} of ${ports.length} shown online`);
