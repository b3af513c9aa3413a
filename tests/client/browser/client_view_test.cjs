// The client view's page in a real browser: headless Chromium (the Debian package) driven through
// its DevTools protocol by playwright-core, over a real server (client_serve) on a temporary
// capture folder. With the key the page shows the pictures newest first with the photographer's
// rating; a picture saved while the page is open appears on it without a reload within a second;
// a heart tapped on the page lands in the picture's sidecar (read back by the picture layer) and
// leaves the rating alone; without the key there is a 401 and no picture name. A screenshot of
// the page is written to the path given.
// Usage: node client_view_test.cjs <client_serve> <screenshot.png>
"use strict";
const { chromium } = require("playwright-core");
const { spawn } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const readline = require("node:readline");

const [serve, screenshot] = process.argv.slice(2);
const browserPath = process.env.KESTREL_CHROMIUM || "/usr/bin/chromium";
const key = "0123456789abcdef0123456789abcdef";
const first = 5;   // pictures in the folder before the page opens
let failures = 0, passes = 0;

function check(ok, what) {
  if (ok) { passes++; console.log("ok: " + what); }
  else { failures++; console.log("FAIL: " + what); }
}

// The server's stdout, line by line, with a wait for the next line that matches.
function lines(child) {
  const seen = [], waiting = [];
  readline.createInterface({ input: child.stdout }).on("line", line => {
    seen.push(line);
    for (const w of waiting.splice(0)) if (!w.test(line)) waiting.push(w); else w.resolve(line);
  });
  return {
    seen,
    next(pattern, ms = 5000) {
      const old = seen.find(l => pattern.test(l) && !this.taken.has(l));
      if (old) { this.taken.add(old); return Promise.resolve(old); }
      return new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error("no line " + pattern + " from the server")), ms);
        waiting.push({
          test: l => pattern.test(l) && !this.taken.has(l),
          resolve: l => { clearTimeout(timer); this.taken.add(l); resolve(l); },
        });
      });
    },
    taken: new Set(),
  };
}

async function main() {
  if (!fs.existsSync(browserPath)) {
    console.log("FAIL: no browser at " + browserPath + " (scripts/deps installs Debian's chromium)");
    return 1;
  }
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "kestrel-browser-"));
  const folder = path.join(scratch, "captures");
  fs.mkdirSync(folder);
  const server = spawn(serve, [folder, "0", String(first), key], { stdio: ["pipe", "pipe", "inherit"] });
  const out = lines(server);
  let browser;
  try {
    const ready = await out.next(/^ready /, 10000);
    const url = ready.slice("ready ".length);
    const base = url.replace(/\/\?key=.*$/, "");
    browser = await chromium.launch({
      executablePath: browserPath, headless: true,
      args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
    });
    const context = await browser.newContext({ viewport: { width: 900, height: 430 } });
    const page = await context.newPage();

    // With the key: the pictures, newest first, their thumbnails decoded, the rating shown.
    await page.goto(url);
    await page.waitForFunction(count => document.querySelectorAll("figure.pic").length === count &&
      [...document.querySelectorAll("figure.pic img")].every(i => i.complete && i.naturalWidth > 0), first);
    const shown = await page.$$eval("figure.pic", cards => cards.map(c => ({
      n: c.dataset.n, name: c.querySelector(".name").textContent,
      stars: c.querySelector(".stars").textContent,
    })));
    const expected = [5, 4, 3, 2, 1].map(n => "Photo-000" + n + ".jpg");
    check(JSON.stringify(shown.map(c => c.name)) === JSON.stringify(expected),
          "with the key the page shows Photo-0005 down to Photo-0001 in that order: " +
          shown.map(c => c.name).join(", "));
    check(shown[4] && shown[4].stars === "★★★" && shown.slice(0, 4).every(c => c.stars === ""),
          "the photographer's three stars show on Photo-0001 only");
    await page.waitForFunction(() => document.getElementById("status").textContent === "Live");

    // A picture saved while the page is open appears on it, without a reload, within 1 s.
    const navigations = [];
    page.on("framenavigated", f => { if (f === page.mainFrame()) navigations.push(f.url()); });
    server.stdin.write("capture\n");
    await out.next(/^saved Photo-0006\.jpg$/);
    const saved = Date.now();
    await page.waitForSelector('figure.pic[data-n="6"]', { timeout: 3000 });
    const late = Date.now() - saved;
    check(late <= 1000, "Photo-0006.jpg is on the page " + late + " ms after it was saved (at most 1000)");
    check(navigations.length === 0, "the page was not reloaded for it");
    check(await page.$eval("#grid figure.pic", c => c.dataset.n) === "6",
          "the new picture comes first");

    // A heart tapped on the page: the sidecar holds the pick, the rating stays, the console says so.
    await page.click('figure.pic[data-n="1"] .heart');
    await page.waitForSelector('figure.pic[data-n="1"] .heart.on', { timeout: 3000 });
    await out.next(/^Client picked Photo-0001\.jpg\r?$/);
    server.stdin.write("pick 1\n");
    check(await out.next(/^pick Photo-0001\.jpg /) === "pick Photo-0001.jpg 1 rating 3",
          "Photo-0001.jpg's sidecar holds the client's pick and still its three stars");
    const sidecar = fs.readFileSync(path.join(folder, "Photo-0001.jpg.xmp"), "utf8");
    check(/Client Pick/.test(sidecar), "the sidecar on disk names the label \"Client Pick\"");
    server.stdin.write("pick 2\n");
    check(await out.next(/^pick Photo-0002\.jpg /) === "pick Photo-0002.jpg 0 rating none",
          "Photo-0002.jpg, not tapped, has no pick");

    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({ path: screenshot });
    check(fs.statSync(screenshot).size > 10000, "the screenshot " + screenshot + " was written");

    // Without the key: 401, the request for the key, no picture name, on the page and in the list.
    const stranger = await (await browser.newContext()).newPage();
    const response = await stranger.goto(base + "/");
    const body = await stranger.content();
    check(response.status() === 401, "the page without the key is answered 401 (" + response.status() + ")");
    check(/needs its key/.test(body) && !/Photo-|figure/.test(body),
          "the page without the key asks for it and names no picture");
    const list = await stranger.request.get(base + "/pictures");
    const listText = await list.text();
    check(list.status() === 401 && !/Photo-/.test(listText),
          "the picture list without the key is refused and names no picture");
    const thumb = await stranger.request.get(base + "/thumb/1");
    check(thumb.status() === 401, "a thumbnail without the key is refused");
  } catch (e) {
    failures++;
    console.log("FAIL: " + (e && e.stack || e));
  } finally {
    if (browser) await browser.close().catch(() => {});
    server.stdin.end();
    await new Promise(resolve => {
      if (server.exitCode !== null) return resolve();
      const kill = setTimeout(() => server.kill("SIGKILL"), 5000);
      server.on("exit", () => { clearTimeout(kill); resolve(); });
    });
    fs.rmSync(scratch, { recursive: true, force: true });
  }
  if (server.exitCode !== 0) {
    failures++;
    console.log("FAIL: the server ended with " + server.exitCode + " " + (server.signalCode || ""));
  }
  console.log(passes + " passed, " + failures + " failed");
  return failures === 0 ? 0 : 1;
}

main().then(code => process.exit(code));
