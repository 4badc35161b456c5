// Serves quorvantel's requests, which reach us through the native-messaging
// host "jp.example.quorvantel". The port stays open for the whole session and
// is opened again, with a bounded back-off, whenever it drops.
"use strict";

const HOST = "jp.example.quorvantel";
const FIRST_RETRY_MS = 500;
const LAST_RETRY_MS = 30000;
const FIELDS = ["to", "cc", "bcc"];

let port = null;
let retryMs = FIRST_RETRY_MS;
// Requests whose recipients come in several messages: id -> {to, cc, bcc}.
const staged = new Map();
// Debug requests are answered only for a host started under the test run.
let testMode = false;
// Compose windows in the order they last had the focus, the latest last.
let focusOrder = [];
// How long Thunderbird took over the last field written, for the test run.
let lastSetMs = -1;

function connect() {
  port = browser.runtime.connectNative(HOST);
  port.onMessage.addListener(onMessage);
  port.onDisconnect.addListener(() => {
    port = null;
    staged.clear();
    testMode = false;
    setTimeout(connect, retryMs);
    retryMs = Math.min(retryMs * 2, LAST_RETRY_MS);
  });
}

function reply(message) {
  if (port) {
    port.postMessage(message);
  }
}

// Thunderbird makes a pill of every recipient it is given and is busy for a
// while with many: say how many before starting, so that quorvantel waits
// for that much work rather than for the size of its own request.
function announce(id, pills) {
  if (pills > 0) {
    reply({id, working: pills});
  }
}

class RequestError extends Error {
  constructor(code, message) {
    super(message);
    this.code = code;
  }
}

function recipientsOf(msg) {
  const parts = staged.get(msg.id) || {};
  staged.delete(msg.id);
  const out = {};
  for (const f of FIELDS) {
    const list = (parts[f] || []).concat(Array.isArray(msg[f]) ? msg[f] : []);
    if (list.length > 0 || Array.isArray(msg[f])) {
      out[f] = list;
    }
  }
  return out;
}

function stage(msg) {
  const parts = staged.get(msg.id) || {to: [], cc: [], bcc: []};
  for (const f of FIELDS) {
    if (Array.isArray(msg[f])) {
      for (const entry of msg[f]) {
        parts[f].push(entry);
      }
    }
  }
  staged.set(msg.id, parts);
}

async function composeTab(tabId) {
  let tab;
  try {
    tab = await browser.tabs.get(tabId);
  } catch (e) {
    throw new RequestError("noTab", "the compose window is closed");
  }
  if (tab.type != "messageCompose") {
    throw new RequestError("noTab", "the tab is not a compose window");
  }
  return tab;
}

function field(msg) {
  if (!FIELDS.includes(msg.field)) {
    throw new RequestError("badRequest", "unknown field " + msg.field);
  }
  return msg.field;
}

// The compose window that had the focus last, or null. Windows opened before
// we started have no focus record; then the last-focused window counts if it
// is a compose window, else any compose window.
async function composeTabs() {
  try {
    return await browser.tabs.query({type: "messageCompose"});
  } catch (e) {
    // Early in Thunderbird's start the tab query can fail; windows still answer.
    const windows = await browser.windows.getAll({populate: true, windowTypes: ["messageCompose"]});
    return windows.flatMap((w) => w.tabs || []);
  }
}

async function activeComposeTab() {
  const tabs = await composeTabs();
  const byWindow = new Map(tabs.map((t) => [t.windowId, t]));
  focusOrder = focusOrder.filter((w) => byWindow.has(w));
  if (focusOrder.length > 0) {
    return byWindow.get(focusOrder[focusOrder.length - 1]);
  }
  try {
    const focused = await browser.tabs.query({type: "messageCompose", lastFocusedWindow: true});
    if (focused.length > 0) {
      return focused[0];
    }
  } catch (e) {
    // No window has had the focus yet.
  }
  return tabs.length > 0 ? tabs[tabs.length - 1] : null;
}

function noteFocus(windowId) {
  focusOrder = focusOrder.filter((w) => w != windowId);
  focusOrder.push(windowId);
}

browser.windows.onFocusChanged.addListener(async (windowId) => {
  if (windowId == browser.windows.WINDOW_ID_NONE) {
    return;
  }
  try {
    const w = await browser.windows.get(windowId);
    if (w.type == "messageCompose") {
      noteFocus(windowId);
    }
  } catch (e) {
    // The window closed meanwhile.
  }
});

browser.windows.onRemoved.addListener((windowId) => {
  focusOrder = focusOrder.filter((w) => w != windowId);
});

async function serve(msg) {
  switch (msg.op) {
    case "new": {
      const recipients = recipientsOf(msg);
      announce(msg.id, FIELDS.reduce((n, f) => n + (recipients[f] || []).length, 0));
      const tab = await browser.compose.beginNew(null, recipients);
      noteFocus(tab.windowId);
      return {tab: tab.id};
    }
    case "active": {
      const tab = await activeComposeTab();
      return {tab: tab ? tab.id : null};
    }
    case "get": {
      const f = field(msg);
      await composeTab(msg.tab);
      const details = await browser.compose.getComposeDetails(msg.tab);
      return {entries: details[f] || []};
    }
    case "set": {
      const f = field(msg);
      let list = recipientsOf(msg)[f] || [];
      await composeTab(msg.tab);
      if (msg.append === true) {
        // The field's entries go back exactly as Thunderbird gave them; only
        // the new ones are quorvantel's.
        const details = await browser.compose.getComposeDetails(msg.tab);
        list = (details[f] || []).concat(list);
      }
      announce(msg.id, list.length);
      const start = Date.now();
      await browser.compose.setComposeDetails(msg.tab, {[f]: list});
      lastSetMs = Date.now() - start;
      return {};
    }
    case "show": {
      const tab = await composeTab(msg.tab);
      await browser.windows.update(tab.windowId, {focused: true});
      noteFocus(tab.windowId);
      return {};
    }
    case "details":
      if (testMode) {
        await composeTab(msg.tab);
        const d = await browser.compose.getComposeDetails(msg.tab);
        // Each entry as Thunderbird's own parser reads it: one call per
        // field, each entry made a group of its own to keep them apart.
        const parsed = {};
        for (const f of FIELDS) {
          const groups = await browser.messengerUtilities.parseMailboxString(
              d[f].map((entry, i) => `e${i}: ${entry};`).join(", "), true);
          parsed[f] = groups.map((g) => g.group || [g]);
        }
        return {to: d.to, cc: d.cc, bcc: d.bcc, parsed, setMs: lastSetMs};
      }
      break;
    case "close":
      if (testMode) {
        const tab = await composeTab(msg.tab);
        await browser.windows.remove(tab.windowId);
        return {};
      }
      break;
  }
  throw new RequestError("badRequest", "unknown request " + msg.op);
}

async function onMessage(msg) {
  retryMs = FIRST_RETRY_MS;
  if (msg === null || typeof msg != "object") {
    return;
  }
  if (msg.hello) {
    // Sent again for every quorvantel that connects: pieces of a request
    // from an earlier one will never be completed.
    testMode = msg.test === true;
    staged.clear();
    return;
  }
  if (msg.chunk) {
    stage(msg);
    return;
  }
  try {
    const result = await serve(msg);
    result.id = msg.id;
    result.ok = true;
    reply(result);
  } catch (e) {
    // A compose window closed while we worked on it also ends up here.
    let code = e.code || "failed";
    if (!e.code && msg.tab !== undefined) {
      try {
        await browser.tabs.get(msg.tab);
      } catch (gone) {
        code = "noTab";
      }
    }
    reply({id: msg.id, ok: false, error: code, message: String(e.message || e)});
  }
}

connect();
