// The client view's page: plain HTML, CSS and a little script, shipped inside the program.
#include "client/ClientServer.h"

namespace client {

const std::string& ClientPage() {
    static const std::string page = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Kestrel client view</title>
<style>
body{margin:0;background:#1b1d21;color:#e8e8e8;font:15px/1.3 system-ui,sans-serif}
header{position:sticky;top:0;background:#111316;padding:10px 14px;display:flex;gap:12px;
 align-items:baseline;z-index:1}
header h1{font-size:17px;margin:0;font-weight:600}
#status{color:#9aa;font-size:13px}
#grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(160px,1fr));gap:10px;padding:12px}
.pic{margin:0;background:#26292e;border-radius:6px;overflow:hidden;position:relative}
.pic img{width:100%;aspect-ratio:4/3;object-fit:contain;background:#000;display:block;cursor:zoom-in}
.pic figcaption{padding:6px 8px;font-size:13px;display:flex;flex-wrap:wrap;justify-content:space-between;gap:2px 6px}
.pic .name{flex:1 0 100%;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.pic .time{color:#9aa;margin-left:auto}
.stars{color:#f5c518;letter-spacing:1px}
.heart{position:absolute;top:6px;right:6px;border:0;border-radius:50%;width:36px;height:36px;
 font-size:20px;background:rgba(0,0,0,.55);color:#fff;cursor:pointer}
.heart.on{color:#ff4d6d}
.heart:disabled{cursor:default;opacity:.7}
#large{position:fixed;inset:0;background:rgba(0,0,0,.92);display:none;align-items:center;
 justify-content:center;flex-direction:column;z-index:2}
#large img{max-width:100vw;max-height:90vh;object-fit:contain}
#large a{color:#9cf;margin-top:6px}
#empty{padding:30px;color:#9aa}
#liveButton{margin-left:auto;background:#2d6cdf;color:#fff;border:0;border-radius:4px;
 padding:4px 10px;cursor:pointer}
#live{display:block;margin:10px auto 0;max-width:min(640px,100%);background:#000}
</style></head><body>
<header><h1>Kestrel</h1><span id="status">Connecting…</span>
<button id="liveButton" hidden>Live view</button></header>
<img id="live" alt="Live view" hidden>
<div id="empty" hidden>No pictures yet: they appear here as they are taken.</div>
<main id="grid"></main>
<div id="large"><img alt=""><a target="_blank" rel="noopener">Original file</a></div>
<script>
"use strict";
const key = new URLSearchParams(location.search).get("key") || "";
const q = "key=" + encodeURIComponent(key);
const grid = document.getElementById("grid"), statusText = document.getElementById("status");
let picks = false, source = null;
const cards = new Map();
function stars(r) { return r === null ? "" : r < 0 ? "✕" : "★".repeat(r); }
function clock(ms) { return new Date(ms).toLocaleTimeString([], {hour12: false}); }
function show(p) {
  let card = cards.get(p.n);
  if (!card) {
    card = document.createElement("figure");
    card.className = "pic"; card.dataset.n = p.n;
    card.innerHTML = '<img loading="lazy" alt=""><button class="heart" title="Pick">♥</button>' +
      '<figcaption><span class="name"></span><span class="stars"></span><span class="time"></span></figcaption>';
    card.querySelector("img").onclick = () => large(p.n);
    card.querySelector(".heart").onclick = () => pick(p.n, !card.classList.contains("picked"));
    let before = null;
    for (const c of grid.children) if (Number(c.dataset.n) < p.n) { before = c; break; }
    grid.insertBefore(card, before);
    cards.set(p.n, card);
  }
  const img = card.querySelector("img"), src = "/thumb/" + p.n + "?" + q + "&v=" + p.time;
  if (img.getAttribute("src") !== src) img.setAttribute("src", src);
  img.alt = p.name;
  card.querySelector(".name").textContent = p.name;
  card.querySelector(".stars").textContent = stars(p.rating);
  card.querySelector(".time").textContent = clock(p.time);
  card.classList.toggle("picked", p.pick);
  const heart = card.querySelector(".heart");
  heart.classList.toggle("on", p.pick);
  heart.disabled = !picks;
  heart.hidden = !picks && !p.pick;
  document.getElementById("empty").hidden = cards.size > 0;
}
function removeCard(n) { const c = cards.get(n); if (c) { c.remove(); cards.delete(n); } }
async function load() {
  const r = await fetch("/pictures?" + q);
  if (!r.ok) { statusText.textContent = r.status === 401 ? "This page needs its key." : "Error " + r.status; return false; }
  const d = await r.json();
  picks = d.picks;
  const liveButton = document.getElementById("liveButton"), live = document.getElementById("live");
  liveButton.hidden = !d.live;
  if (!d.live && !live.hidden) { live.hidden = true; live.removeAttribute("src"); }
  const seen = new Set(d.pictures.map(p => p.n));
  for (const n of [...cards.keys()]) if (!seen.has(n)) removeCard(n);
  for (const p of d.pictures.slice().reverse()) show(p);
  document.getElementById("empty").hidden = cards.size > 0;
  return true;
}
async function pick(n, on) {
  if (!picks) return;
  const r = await fetch("/pick/" + n + "?on=" + (on ? 1 : 0) + "&" + q, {method: "POST"});
  if (r.ok) show(await r.json());
}
function large(n) {
  const box = document.getElementById("large"), w = Math.round(screen.width * (devicePixelRatio || 1));
  box.querySelector("img").src = "/large/" + n + "?w=" + w + "&" + q;
  box.querySelector("a").href = "/original/" + n + "?" + q;
  box.style.display = "flex";
}
document.getElementById("liveButton").onclick = () => {
  const live = document.getElementById("live");
  live.hidden = !live.hidden;
  if (live.hidden) live.removeAttribute("src"); else live.src = "/live?" + q;
};
document.getElementById("large").onclick = e => {
  if (e.target.tagName !== "A") e.currentTarget.style.display = "none";
};
function connect() {
  source = new EventSource("/events?" + q);
  source.onopen = () => { statusText.textContent = "Live"; };
  source.addEventListener("picture", e => show(JSON.parse(e.data)));
  source.addEventListener("remove", e => removeCard(JSON.parse(e.data).n));
  source.addEventListener("reload", () => load());
  source.onerror = () => {
    // Wi-Fi gone or Kestrel stopped: start again (and catch up) until it answers.
    statusText.textContent = "Reconnecting…";
    source.close();
    setTimeout(() => load().then(ok => { if (ok) connect(); else setTimeout(connect, 3000); })
                               .catch(() => setTimeout(connect, 2000)), 1500);
  };
}
load().then(ok => { if (ok) connect(); }).catch(() => setTimeout(connect, 2000));
</script></body></html>
)PAGE";
    return page;
}

}   // namespace client
