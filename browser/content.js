// SPDX-License-Identifier: GPL-3.0-or-later
// Runs in every page, but reads nothing until the user clicks: a left click
// on an element whose real target is a download-manager link goes to Tessel
// instead of to the page (whose handler and default action are stopped for
// that click alone); a right click only remembers the element, for the
// context menu.  Listening on the window in the capture phase, before any
// script of the page, makes the page's own handlers never see such a click.
"use strict";

(() => {
  const api = globalThis.browser ?? globalThis.chrome;
  let rightClicked = null;

  function report(answer) {
    if (answer && answer.ok) return;
    const text = `Tessel 没有收下链接：${(answer && answer.error) || "未知原因"}`;
    console.warn(text);
    window.alert(text);
  }

  // A click soon after the browser starts can come before the add-on's
  // background listens (Firefox starts it late, later still on a busy
  // machine).  Nobody received such a message, so sending it again cannot
  // hand the link over twice.
  const NOBODY_LISTENS = /Receiving end does not exist/i;
  const SEND_TRIES = 60;  // twelve seconds
  const SEND_PAUSE_MS = 200;

  async function hand(links) {
    let answer;
    for (let attempt = 1; !answer; ++attempt) {
      try {
        answer = await api.runtime.sendMessage({ kind: "hand", links, page: location.href }) ?? {};
      } catch (error) {
        const why = String(error && error.message ? error.message : error);
        if (attempt < SEND_TRIES && NOBODY_LISTENS.test(why)) {
          await new Promise((resolve) => setTimeout(resolve, SEND_PAUSE_MS));
        } else {
          answer = { ok: false, error: why };
        }
      }
    }
    report(answer);
  }

  window.addEventListener("click", (event) => {
    if (!event.isTrusted || event.button !== 0) return;
    const found = TesselLinks.clickTarget(event.target);
    if (!found) return;
    event.preventDefault();
    event.stopImmediatePropagation();
    hand([found.link]);
  }, true);

  window.addEventListener("contextmenu", (event) => {
    rightClicked = event.isTrusted ? event.target : null;
  }, true);

  api.runtime.onMessage.addListener((message, sender, reply) => {
    if (!message || typeof message !== "object") return false;
    if (message.kind === "target") {
      const found = rightClicked && TesselLinks.clickTarget(rightClicked);
      const anchor = rightClicked && rightClicked.closest ? rightClicked.closest("a, area") : null;
      reply({ link: found ? found.link : anchor ? TesselLinks.elementLink(anchor) : null, page: location.href });
    } else if (message.kind === "selection") {
      reply({ links: TesselLinks.selectionLinks(window.getSelection()), page: location.href });
    } else if (message.kind === "failed") {
      report(message.answer);
      reply({});
    } else {
      return false;
    }
    return false;
  });
})();
