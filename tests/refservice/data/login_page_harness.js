// Runs the inline script of a login page with a stand-in document and web
// channel, clicks one button and prints what reached the host as JSON:
//   node login_page_harness.js <button id> <nickname> <id> <mode> < page.html
// mode: "toolkit" (the program's window.JS2Native), "channel" (only a web
// channel whose norvaneHost object has call()), "other" (a channel object
// with OnJS2Native), "nochannel" (an ordinary browser).
const fs = require("fs");
const html = fs.readFileSync(0, "utf8");
const scripts = [...html.matchAll(/<script>([\s\S]*?)<\/script>/g)].map((m) => m[1]);
if (scripts.length !== 1) {
  console.log(JSON.stringify({ error: "expected one inline script, found " + scripts.length }));
  process.exit(0);
}
const [button, nickname, account, mode] = process.argv.slice(2);
const elements = {
  nickname: { value: nickname },
  account: { value: account },
  status: { textContent: "" },
  authorize: {},
  refuse: {},
};
const calls = [];
global.document = { getElementById: (id) => elements[id] };
global.window = global;
const record = (...args) => calls.push(args);
if (mode === "toolkit") {
  global.window.JS2Native = record;
} else if (mode === "channel" || mode === "other") {
  global.qt = { webChannelTransport: {} };
  const host = mode === "channel" ? { norvaneHost: { call: record } } : { host: { OnJS2Native: record } };
  global.QWebChannel = function (transport, ready) {
    ready({ objects: Object.assign({ unrelated: { value: 1 } }, host) });
  };
}
eval(scripts[0]);
elements[button].onclick();
console.log(JSON.stringify({ calls, status: elements.status.textContent }));
