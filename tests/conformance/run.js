#!/usr/bin/env node
// Compiles every program of the ActionScript conformance corpus with nxrasc, plays it in an
// independent player (Ruffle in headless Chromium) and compares its trace output and its
// ExternalInterface traffic with the expectations stored beside the source.
//
// usage: node run.js [--asc PATH] [--corpus DIR] [--verbose] [NAME...]
//
// For each NAME.as in the corpus:
//   NAME.trace  the expected trace output, one line per trace() (required)
//   NAME.ei     the expected ExternalInterface traffic (optional), one entry per line:
//                 call FN ARGS [=> RESULT]    the movie calls the page function FN with the JSON
//                                             array ARGS, in this order; the page answers RESULT
//                 invoke FN ARGS => RESULT    once the movie has registered the callback FN, the
//                                             page calls it with ARGS and expects RESULT (JSON)
//               Lines starting with '#' are comments.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');

const root = path.resolve(__dirname, '..', '..');
const options = { asc: process.env.NXRASC || path.join(root, 'build', 'native', 'tools', 'asc', 'nxrasc'),
                  corpus: path.join(root, 'movies', 'conformance'), verbose: false, names: [] };
for (let i = 2; i < process.argv.length; ++i) {
  const a = process.argv[i];
  if (a === '--asc') options.asc = process.argv[++i];
  else if (a === '--corpus') options.corpus = process.argv[++i];
  else if (a === '--verbose') options.verbose = true;
  else options.names.push(a);
}

const TEST_TIMEOUT_MS = 15000;  // one movie's whole run
const SETTLE_MS = 300;          // quiet time after the expected output, to catch extra output

function parseEi(text, file) {
  const calls = [];
  const invokes = [];
  text.split('\n').forEach((raw, index) => {
    const line = raw.trim();
    if (!line || line.startsWith('#')) return;
    const m = /^(call|invoke)\s+([A-Za-z_$][\w$.]*)\s+(\[.*?\])\s*(?:=>\s*(.*))?$/.exec(line);
    if (!m) throw new Error(`${file}:${index + 1}: malformed line`);
    const entry = { name: m[2], args: JSON.parse(m[3]) };
    if (m[4] !== undefined) entry.result = JSON.parse(m[4]);
    if (m[1] === 'call') calls.push(entry);
    else {
      if (m[4] === undefined) throw new Error(`${file}:${index + 1}: invoke needs '=> RESULT'`);
      invokes.push(entry);
    }
  });
  return { calls, invokes };
}

function loadCorpus() {
  const names = fs.readdirSync(options.corpus).filter((f) => f.endsWith('.as'))
    .map((f) => f.slice(0, -3)).sort();
  const selected = options.names.length ? names.filter((n) => options.names.includes(n)) : names;
  return selected.map((name) => {
    const base = path.join(options.corpus, name);
    if (!fs.existsSync(base + '.trace')) throw new Error(`${base}.trace is missing`);
    const trace = fs.readFileSync(base + '.trace', 'utf8').replace(/\r\n/g, '\n');
    const lines = trace.endsWith('\n') ? trace.slice(0, -1).split('\n') : trace.split('\n');
    const ei = fs.existsSync(base + '.ei')
      ? parseEi(fs.readFileSync(base + '.ei', 'utf8'), base + '.ei') : { calls: [], invokes: [] };
    return { name, source: base + '.as', expectedTrace: trace === '' ? [] : lines, ei };
  });
}

// The harness page: it keeps the player's WebAssembly module loaded and plays one movie after
// another, each in a fresh player element. For each movie it defines the page functions the movie
// may call; each records its arguments and answers with the results listed for it, in order.
const HARNESS_PAGE = `<!doctype html>
<html><head><meta charset="utf-8"><title>conformance</title></head>
<body>
<div id="stage"></div>
<script>
  window.RufflePlayer = window.RufflePlayer || {};
  // The external interface exists only with script access and unrestricted networking; the page
  // serves only 127.0.0.1 and the movies open no URLs.
  window.RufflePlayer.config = {
    publicPath: '/ruffle/', polyfills: false, autoplay: 'on', unmuteOverlay: 'hidden',
    splashScreen: false, letterbox: 'off', allowScriptAccess: true,
    warnOnUnsupportedContent: false, logLevel: 'info', contextMenu: 'off', openUrlMode: 'deny',
    allowNetworking: 'all', favorFlash: false, preferredRenderer: 'canvas', quality: 'low',
    maxExecutionDuration: 5,  // seconds: a runaway script is stopped, not the whole run
  };
  window.__eiNames = [];
  window.startMovie = function (setup) {
    if (window.__player) window.__player.remove();
    for (const name of window.__eiNames) delete window[name];
    window.__eiNames = Object.keys(setup.results);
    window.__eiCalls = [];
    for (const name of window.__eiNames) {
      let next = 0;
      window[name] = function (...args) {
        window.__eiCalls.push({ name, args });
        const list = setup.results[name];
        const result = next < list.length ? list[next] : undefined;
        ++next;
        return result;
      };
    }
    const player = window.RufflePlayer.newest().createPlayer();
    player.style.width = '160px';
    player.style.height = '120px';
    document.getElementById('stage').appendChild(player);
    window.__player = player;
    player.ruffle().load({ url: setup.swf, allowScriptAccess: true }).catch((e) => {
      console.error('load failed: ' + e);
    });
  };
</script>
<script src="/ruffle/ruffle.js"></script>
</body></html>`;

function setupFor(test) {
  const results = {};
  for (const c of test.ei.calls) (results[c.name] = results[c.name] || []).push(c.result);
  return { swf: `/movies/${encodeURIComponent(test.name)}.swf`, results };
}

function startServer(movieDir) {
  const ruffleDir = path.dirname(require.resolve('@ruffle-rs/ruffle/package.json'));
  const types = { '.js': 'text/javascript', '.wasm': 'application/wasm', '.swf': 'application/x-shockwave-flash',
                  '.html': 'text/html; charset=utf-8', '.map': 'application/json' };
  const server = http.createServer((req, res) => {
    const url = decodeURIComponent(req.url.split('?')[0]);
    let file = null;
    if (url === '/harness') {
      res.writeHead(200, { 'content-type': types['.html'] });
      res.end(HARNESS_PAGE);
      return;
    } else if (url.startsWith('/ruffle/')) {
      file = path.join(ruffleDir, path.basename(url));
    } else if (url.startsWith('/movies/')) {
      file = path.join(movieDir, path.basename(url));
    }
    if (!file || !fs.existsSync(file)) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { 'content-type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The player's trace output arrives as styled console messages from its log adapter:
// "%cINFO%c web/src/log_adapter.rs:LINE%c MESSAGE" followed by the three style arguments.
const TRACE_PREFIX = /^%cINFO%c web\/src\/log_adapter\.rs:\d+%c /;
const TRACE_STYLES = ' color: whitesmoke; background: #444 color: gray; font-style: italic color: inherit';
function traceText(message) {
  const text = message.text();
  const m = TRACE_PREFIX.exec(text);
  if (!m || !text.endsWith(TRACE_STYLES)) return null;
  return text.slice(m[0].length, text.length - TRACE_STYLES.length);
}

function sleep(ms) { return new Promise((r) => setTimeout(r, ms)); }

// Plays the movies one after another in one page; console output belongs to the current movie.
async function runAll(context, base, tests, results) {
  const page = await context.newPage();
  let current = null;
  page.on('console', (msg) => {
    if (!current) return;
    current.log.push(`[${msg.type()}] ${msg.text()}`);
    const t = traceText(msg);
    if (t !== null) current.trace.push(...t.split('\n'));
  });
  page.on('pageerror', (e) => current && current.log.push(`[pageerror] ${e.message}`));
  await page.goto(`${base}/harness`);
  await page.waitForFunction(() => window.RufflePlayer && window.RufflePlayer.newest, null, { timeout: 10000 });
  for (const test of tests) {
    current = { trace: [], log: [] };
    const failures = [];
    try {
      await page.evaluate((setup) => window.startMovie(setup), setupFor(test));
      await waitForMovie(page, test, current, failures);
    } catch (e) {
      failures.push(`runner error: ${e.message}`);
    }
    results.push({ test, failures, trace: current.trace, log: current.log });
  }
  current = null;
  await page.close();
}

async function waitForMovie(page, test, current, failures) {
  const deadline = Date.now() + TEST_TIMEOUT_MS;
  const invokeResults = [];
  for (const inv of test.ei.invokes) {
    // Wait for the movie to register the callback, then call it.
    while (Date.now() < deadline &&
           !(await page.evaluate((n) => typeof window.__player?.[n] === 'function', inv.name))) {
      await sleep(20);
    }
    if (Date.now() >= deadline) {
      failures.push(`callback ${inv.name} was never registered`);
      break;
    }
    const result = await page.evaluate(({ n, args }) => {
      try { return { value: window.__player[n](...args) }; } catch (e) { return { error: String(e) }; }
    }, { n: inv.name, args: inv.args });
    invokeResults.push({ inv, result });
  }
  // Wait until the movie has loaded and produced the expected amount of output, then a little
  // longer to catch anything extra.
  let lastLength = -1;
  let quietSince = Date.now();
  let loaded = false;
  while (Date.now() < deadline) {
    const state = await page.evaluate(() => ({
      calls: window.__eiCalls.length,
      loaded: typeof window.__player?.PercentLoaded === 'function' && window.__player.PercentLoaded() === 100,
    }));
    const calls = state.calls;
    if (state.loaded && !loaded) {
      loaded = true;
      quietSince = Date.now();
    }
    const length = current.trace.length + calls;
    if (length !== lastLength) {
      lastLength = length;
      quietSince = Date.now();
    }
    if (loaded && current.trace.length >= test.expectedTrace.length &&
        calls >= test.ei.calls.length && Date.now() - quietSince >= SETTLE_MS) break;
    await sleep(20);
  }
  if (!loaded) failures.push('the movie did not load');
  const calls = await page.evaluate(() => window.__eiCalls);
  compare(test, current.trace, calls, invokeResults, failures);
}

function compare(test, trace, calls, invokeResults, failures) {
  const n = Math.max(trace.length, test.expectedTrace.length);
  for (let i = 0; i < n; ++i) {
    if (trace[i] !== test.expectedTrace[i]) {
      failures.push(`trace line ${i + 1}: expected ${JSON.stringify(test.expectedTrace[i])}, got ${JSON.stringify(trace[i])}`);
      break;
    }
  }
  if (trace.length !== test.expectedTrace.length)
    failures.push(`trace has ${trace.length} lines, expected ${test.expectedTrace.length}`);
  const expectedCalls = test.ei.calls.map((c) => JSON.stringify([c.name, c.args]));
  const actualCalls = calls.map((c) => JSON.stringify([c.name, c.args]));
  if (JSON.stringify(expectedCalls) !== JSON.stringify(actualCalls))
    failures.push(`ExternalInterface calls: expected ${expectedCalls.join(' ')}, got ${actualCalls.join(' ')}`);
  for (const { inv, result } of invokeResults) {
    if (result.error !== undefined) failures.push(`invoke ${inv.name}: ${result.error}`);
    else if (JSON.stringify(result.value) !== JSON.stringify(inv.result))
      failures.push(`invoke ${inv.name}: expected ${JSON.stringify(inv.result)}, got ${JSON.stringify(result.value)}`);
  }
}

async function main() {
  const started = Date.now();
  const tests = loadCorpus();
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'nxr-conformance-'));
  const results = [];
  let server = null;
  let context = null;
  try {
    const runnable = [];
    for (const test of tests) {
      try {
        execFileSync(options.asc, [test.source, '-o', path.join(work, test.name + '.swf')],
                     { stdio: ['ignore', 'pipe', 'pipe'] });
        runnable.push(test);
      } catch (e) {
        results.push({ test, failures: [`compile failed: ${(e.stderr || e.message).toString().trim()}`] });
      }
    }
    server = await startServer(work);
    const base = `http://127.0.0.1:${server.address().port}`;
    const { chromium } = require('playwright-core');
    context = await chromium.launchPersistentContext(path.join(work, 'profile'), {
      executablePath: process.env.NXR_CHROMIUM || '/usr/bin/chromium',
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    await runAll(context, base, runnable, results);
  } finally {
    if (context) await context.close();
    if (server) server.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
  results.sort((a, b) => a.test.name.localeCompare(b.test.name));
  let passed = 0;
  let failed = 0;
  for (const r of results) {
    if (r.failures.length === 0) {
      ++passed;
      console.log(`ok      ${r.test.name}`);
    } else {
      ++failed;
      console.log(`FAILED  ${r.test.name}`);
      for (const f of r.failures) console.log(`        ${f}`);
      if (options.verbose && r.log) for (const l of r.log) console.log(`        | ${l}`);
    }
  }
  console.log(`conformance: ${((Date.now() - started) / 1000).toFixed(1)} s`);
  console.log(`${passed} passed, ${failed} failed`);
  process.exitCode = failed === 0 && passed > 0 ? 0 : 1;
}

main().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
