// The extension's own logic against a stand-in for Thunderbird's APIs: the
// reassembly of requests sent in pieces, the choice of the compose window,
// and append mode leaving the field's entries as Thunderbird holds them.
"use strict";

const test = require("node:test");
const assert = require("node:assert");
const fs = require("node:fs");
const path = require("node:path");
const vm = require("node:vm");

const source = fs.readFileSync(
    path.join(__dirname, "../../mailclient/thunderbird/extension/background.js"), "utf8");

// A Thunderbird with compose windows (tab id -> {windowId, details}) and the
// port to our host; the extension is loaded fresh into it.
function thunderbird(windows = {}) {
  const tabs = new Map(Object.entries(windows).map(([id, w]) => [Number(id), w]));
  const sent = [];
  const listeners = {};
  let nextTab = 100;
  const port = {
    onMessage: {addListener: (f) => (listeners.message = f)},
    onDisconnect: {addListener: (f) => (listeners.disconnect = f)},
    // Native messaging carries JSON.
    postMessage: (m) => sent.push(JSON.parse(JSON.stringify(m))),
  };
  const event = (name) => ({addListener: (f) => (listeners[name] = f)});
  const tabOf = (id, w) => ({id, windowId: w.windowId, type: "messageCompose"});
  const browser = {
    runtime: {connectNative: () => port},
    windows: {
      WINDOW_ID_NONE: -1,
      onFocusChanged: event("focus"),
      onRemoved: event("removed"),
      get: async (windowId) => ({id: windowId, type: "messageCompose"}),
      getAll: async () => [],
      update: async () => ({}),
      remove: async () => {},
    },
    tabs: {
      get: async (id) => {
        const w = tabs.get(id);
        if (!w) throw new Error("no tab");
        return tabOf(id, w);
      },
      query: async (q) => (q.lastFocusedWindow ? [] : [...tabs].map(([id, w]) => tabOf(id, w))),
    },
    compose: {
      beginNew: async (_, details) => {
        const id = nextTab++;
        const copy = JSON.parse(JSON.stringify(details));
        tabs.set(id, {windowId: id + 1000, details: {to: [], cc: [], bcc: [], ...copy}});
        return tabOf(id, tabs.get(id));
      },
      getComposeDetails: async (id) => ({...tabs.get(id).details}),
      setComposeDetails: async (id, d) =>
        Object.assign(tabs.get(id).details, JSON.parse(JSON.stringify(d))),
    },
    messengerUtilities: {parseMailboxString: async () => []},
  };
  vm.runInNewContext(source, {browser, setTimeout, console});
  // Answers come asynchronously: wait until the request's final answer is there.
  const request = async (msg) => {
    const before = sent.length;
    await listeners.message(msg);
    return sent.slice(before);
  };
  return {tabs, sent, request, listeners};
}

test("recipients sent ahead in pieces are put in front, in order", async () => {
  const tb = thunderbird();
  await tb.request({id: 1, chunk: true, to: ["a@x", "b@x"]});
  await tb.request({id: 1, chunk: true, to: ["c@x"], cc: ["d@x"]});
  const answers = await tb.request({id: 1, op: "new", to: ["e@x"], cc: [], bcc: ["f@x"]});
  const done = answers.at(-1);
  assert.strictEqual(done.ok, true);
  const details = tb.tabs.get(done.tab).details;
  assert.deepStrictEqual(details.to, ["a@x", "b@x", "c@x", "e@x"]);
  assert.deepStrictEqual(details.cc, ["d@x"]);
  assert.deepStrictEqual(details.bcc, ["f@x"]);
  assert.deepStrictEqual(answers[0], {id: 1, working: 6}, "the pills are announced first");
});

test("a new quorvantel drops the pieces of an unfinished request", async () => {
  const tb = thunderbird();
  await tb.request({id: 1, chunk: true, to: ["stale@x"]});
  await tb.request({hello: true});
  const answers = await tb.request({id: 1, op: "new", to: ["fresh@x"]});
  assert.deepStrictEqual(tb.tabs.get(answers.at(-1).tab).details.to, ["fresh@x"]);
});

test("append keeps the field's entries exactly and adds ours after them", async () => {
  const held = ["\"Doe, John\" <john@example.com>", "\"john smith\"@example.com"];
  const tb = thunderbird({7: {windowId: 70, details: {to: held.slice(), cc: ["c@x"], bcc: []}}});
  const answers = await tb.request(
      {id: 2, op: "set", tab: 7, field: "to", append: true, to: ["\"q\\\"<r\"<q@example.jp>"]});
  assert.strictEqual(answers.at(-1).ok, true);
  assert.deepStrictEqual(answers[0], {id: 2, working: 3}, "the held entries are made again too");
  const d = tb.tabs.get(7).details;
  assert.deepStrictEqual(d.to, [...held, "\"q\\\"<r\"<q@example.jp>"]);
  assert.deepStrictEqual(d.cc, ["c@x"], "another field is left alone");
  // Replace mode: only ours.
  await tb.request({id: 3, op: "set", tab: 7, field: "to", to: ["n@x"]});
  assert.deepStrictEqual(tb.tabs.get(7).details.to, ["n@x"]);
});

test("the compose window is the one focused last, else any", async () => {
  const tb = thunderbird({1: {windowId: 10, details: {}}, 2: {windowId: 20, details: {}}});
  let answers = await tb.request({id: 1, op: "active"});
  assert.strictEqual(answers.at(-1).tab, 2, "no focus seen yet: the last compose window");
  await tb.listeners.focus(10);
  answers = await tb.request({id: 2, op: "active"});
  assert.strictEqual(answers.at(-1).tab, 1);
  tb.tabs.delete(1);
  tb.listeners.removed(10);
  answers = await tb.request({id: 3, op: "active"});
  assert.strictEqual(answers.at(-1).tab, 2, "the focused one closed");
  tb.tabs.clear();
  answers = await tb.request({id: 4, op: "active"});
  assert.strictEqual(answers.at(-1).tab, null);
});

test("a closed compose window and an unknown request are clear failures", async () => {
  const tb = thunderbird();
  let answers = await tb.request({id: 5, op: "set", tab: 9, field: "to", to: ["a@x"]});
  assert.deepStrictEqual(
      [answers.at(-1).ok, answers.at(-1).error], [false, "noTab"]);
  answers = await tb.request({id: 6, op: "details", tab: 9});
  assert.deepStrictEqual([answers.at(-1).ok, answers.at(-1).error], [false, "badRequest"],
                         "debug requests only for a test run");
  answers = await tb.request({id: 7, op: "set", tab: 9, field: "subject", subject: []});
  assert.strictEqual(answers.at(-1).error, "badRequest");
});
