// One reading of one Minecraft server by an independent client, printed as a
// compact JSON line, so that a shell test can compare it with what the
// simulator's world holds:
//   {"name":..,"map":..,"version":..,"numplayers":..,"maxplayers":..,"players":[..]}
// or {"error":".."} with exit status 1.
//
//   node gamedig_query.mjs TYPE HOST:PORT
//
// TYPE is a gamedig type ("minecraft" for Java Edition, "mbe" for Bedrock
// Edition; gamedig asks both protocols, and GameSpy 4, of each address;
// "gta5f" for FiveM and RedM, whose players' pings are printed too), or
// "ping" for minecraft-protocol's own status ping, which also sends the
// ping packet and reports whether the pong came back ("pong"), or "legacy"
// for the legacy ping (FE 01 FA "MC|PingHost"), which neither library sends:
// this script reads the kick itself, by the wire facts alone.
import net from 'node:net';
import { createRequire } from 'node:module';

const [type, address] = process.argv.slice(2);
if (!type || !address || !address.includes(':')) {
  console.error('usage: node gamedig_query.mjs minecraft|mbe|ping|legacy HOST:PORT');
  process.exit(2);
}
const host = address.slice(0, address.lastIndexOf(':'));
const port = Number(address.slice(address.lastIndexOf(':') + 1));
const timeoutMs = 3000;

function print(result) {
  console.log(JSON.stringify(result));
}

async function queryGamedig() {
  const { GameDig } = await import('gamedig');
  const state = await GameDig.query({
    type, host, port, givenPortOnly: true, maxRetries: 1, socketTimeout: timeoutMs,
    attemptTimeout: 2 * timeoutMs,
  });
  return {
    name: state.name,
    map: state.map,
    version: state.version,
    numplayers: state.numplayers,
    maxplayers: state.maxplayers,
    players: state.players.map((p) => p.name ?? ''),
    // FiveM's players.json lists pings too.
    ...(type === 'gta5f' ? { pings: state.players.map((p) => p.ping ?? p.raw?.ping) } : {}),
  };
}

// minecraft-protocol's client ping: the handshake, the status request and a
// ping packet; "latency" is there only when the pong came back.
async function queryPing() {
  const require = createRequire(import.meta.url);
  const { ping } = require('minecraft-protocol');
  const status = await ping({ host, port, closeTimeout: 2 * timeoutMs, noPongTimeout: timeoutMs });
  const description = status.description;
  return {
    name: typeof description === 'string' ? description : JSON.stringify(description),
    version: status.version?.name,
    protocol: status.version?.protocol,
    numplayers: status.players?.online,
    maxplayers: status.players?.max,
    players: (status.players?.sample ?? []).map((p) => p.name),
    pong: status.latency !== undefined,
  };
}

function utf16be(text) {
  const bytes = Buffer.alloc(text.length * 2);
  for (let i = 0; i < text.length; i++) bytes.writeUInt16BE(text.charCodeAt(i), 2 * i);
  return bytes;
}

// The 1.6 client's ping: FE 01, then the plugin message FA, the channel
// "MC|PingHost" (uint16 count of UTF-16 code units, UTF-16BE), a uint16 data
// length, the protocol byte 78, the host (count, UTF-16BE) and an int32 port.
function legacyPing() {
  const hostBytes = utf16be(host);
  const data = Buffer.alloc(1 + 2 + hostBytes.length + 4);
  data.writeUInt8(78, 0);
  data.writeUInt16BE(host.length, 1);
  hostBytes.copy(data, 3);
  data.writeInt32BE(port, 3 + hostBytes.length);
  const channel = 'MC|PingHost';
  const head = Buffer.alloc(3 + 2);
  head.set([0xfe, 0x01, 0xfa]);
  head.writeUInt16BE(channel.length, 3);
  const dataLength = Buffer.alloc(2);
  dataLength.writeUInt16BE(data.length);
  return Buffer.concat([head, utf16be(channel), dataLength, data]);
}

// The kick: FF, a uint16 count of UTF-16 code units, the text as UTF-16BE;
// "§1\0protocol\0version\0motd\0online\0max", or "motd§online§max" from
// servers before 1.4 (the message itself may hold "§", so the counts are the
// last two fields).
function readLegacyKick(bytes) {
  if (bytes[0] !== 0xff) throw new Error(`not a kick: first byte ${bytes[0]}`);
  const count = bytes.readUInt16BE(1);
  if (bytes.length !== 3 + 2 * count) {
    throw new Error(`kick of ${bytes.length} bytes states ${count} code units`);
  }
  let text = '';
  for (let i = 0; i < count; i++) text += String.fromCharCode(bytes.readUInt16BE(3 + 2 * i));
  if (text.startsWith('\u00a71\u0000')) {
    const [, protocol, version, name, online, max] = text.split('\u0000');
    return { name, version, protocol: Number(protocol), numplayers: Number(online),
      maxplayers: Number(max), players: [] };
  }
  const fields = text.split('\u00a7');
  if (fields.length < 3) throw new Error(`kick text of neither form: ${JSON.stringify(text)}`);
  const max = fields.pop();
  const online = fields.pop();
  return { name: fields.join('\u00a7'), numplayers: Number(online), maxplayers: Number(max),
    players: [] };
}

// The kick is read once its count of code units has come; servers close the
// connection after it, though not every one does.
function queryLegacy() {
  return new Promise((resolve, reject) => {
    let received = Buffer.alloc(0);
    let reads = 0;
    const socket = net.connect({ host, port });
    const finish = () => {
      socket.destroy();
      try {
        resolve({ ...readLegacyKick(received), reads });
      } catch (error) {
        reject(error);
      }
    };
    socket.setTimeout(timeoutMs, () => socket.destroy(new Error('timed out')));
    socket.on('connect', () => socket.write(legacyPing()));
    socket.on('data', (chunk) => {
      received = Buffer.concat([received, chunk]);
      reads += 1;
      if (received.length >= 3 && received.length >= 3 + 2 * received.readUInt16BE(1)) finish();
    });
    socket.on('error', reject);
    socket.on('close', finish);
  });
}

try {
  const query = { ping: queryPing, legacy: queryLegacy }[type] ?? queryGamedig;
  print(await query());
  process.exit(0);
} catch (error) {
  print({ error: String(error?.message ?? error) });
  process.exit(1);
}
