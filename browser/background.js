// SPDX-License-Identifier: GPL-3.0-or-later
// Hands links to Tessel through its native-messaging host, and offers the
// two context-menu entries.  The host answers {ok, count} or {ok: false,
// error}; a failure is shown in the page the links came from.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST = "org.tessel.browser_host";
const PAGES = ["http://*/*", "https://*/*"];

function createMenus() {
  api.contextMenus.removeAll(() => {
    api.contextMenus.create({ id: "tessel-link", title: "用 Tessel 下载", contexts: ["link"],
                              documentUrlPatterns: PAGES });
    api.contextMenus.create({ id: "tessel-selection", title: "用 Tessel 下载选中的链接",
                              contexts: ["selection"], documentUrlPatterns: PAGES });
  });
}
api.runtime.onInstalled.addListener(createMenus);
api.runtime.onStartup.addListener(createMenus);

async function hand(links, page) {
  try {
    const answer = await api.runtime.sendNativeMessage(HOST, { links, page: page || "" });
    return answer && typeof answer === "object" ? answer : { ok: false, error: "助手没有回答" };
  } catch (error) {
    return { ok: false, error: `找不到 Tessel 的浏览器助手（${error && error.message ? error.message : error}）` };
  }
}

async function ask(tab, frameId, message) {
  try {
    return await api.tabs.sendMessage(tab.id, message, { frameId: frameId || 0 });
  } catch {
    return null;  // a page the content script is not in
  }
}

api.contextMenus.onClicked.addListener(async (info, tab) => {
  if (!tab) return;
  let links = [];
  let page = info.frameUrl || info.pageUrl || "";
  if (info.menuItemId === "tessel-link") {
    const found = await ask(tab, info.frameId, { kind: "target" });
    const direct = info.linkUrl && /^(?:thunder|flashget|qqdl|fs2you|https?|ftp):|^ed2k:|^magnet:/i.test(info.linkUrl)
      ? info.linkUrl : null;
    const link = (found && found.link) || direct;
    if (link) links = [link];
  } else if (info.menuItemId === "tessel-selection") {
    const found = await ask(tab, info.frameId, { kind: "selection" });
    if (found && Array.isArray(found.links)) links = found.links;
    if (found && found.page) page = found.page;
  } else {
    return;
  }
  const answer = links.length ? await hand(links, page) : { ok: false, error: "这里没有可下载的链接" };
  if (!answer.ok) ask(tab, info.frameId, { kind: "failed", answer });
});

api.runtime.onMessage.addListener((message, sender, reply) => {
  if (!message || message.kind !== "hand" || !Array.isArray(message.links)) return false;
  hand(message.links, message.page || (sender && sender.url)).then(reply);
  return true;  // answered later
});
