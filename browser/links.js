// SPDX-License-Identifier: GPL-3.0-or-later
// Where a download button keeps its real address.  Download sites write the
// download managers' links into attributes their browser plug-ins read
// (thunderhref, fg, flashgethref, qhref, downloadurl, ...), into the href,
// or into an onclick string that calls the plug-in's script; on Linux that
// script does not exist, so without us the click does nothing.
"use strict";

var TesselLinks = (() => {
  const MANAGER = /^(?:thunder|flashget|qqdl|fs2you):\/\//i;
  const PEER = /^(?:ed2k:\/\/\||magnet:\?)/i;
  const WEB = /^(?:https?|ftp):\/\//i;

  // Attributes that only the download managers' plug-ins read: whatever
  // download address they hold is the button's target, a plain one too.
  const PLUGIN_ATTRIBUTES = [
    "thunderhref", "thunder", "fg", "flashgethref", "flashget", "qhref", "qqdlhref", "qqdl",
    "xfhref", "downloadurl", "data-thunderhref", "data-thunder", "data-downloadurl",
  ];
  // Script attributes (and javascript: addresses) searched for a link.
  const SCRIPT_ATTRIBUTES = ["onclick", "oncontextmenu", "href"];
  // Attributes that show or copy a link rather than lead to it.
  const NOT_TARGETS = /clipboard|copy|^(?:title|alt|value|placeholder|content)$/i;
  // A copy button keeps copying (Tessel's clipboard watcher takes the link
  // from there); a form field keeps taking clicks for editing.
  const COPY_CALL = /copy|clipboard/i;
  const FORM_FIELDS = new Set(["input", "textarea", "select", "option"]);
  // The plug-in functions download sites call with a plain address.
  const PLUGIN_CALL = /\b(?:thunder\w*|xunlei\w*|flashget\w*|convertURL2FG|OnDownloadClick\w*|qqdl\w*|xuanfeng\w*)\s*\(/i;

  // Stops at what cannot be part of the address in a script or a text:
  // quotes, blanks, angle brackets and CJK punctuation.
  const TAIL = "[^\\s\"'<>\\\\，。；！？（）【】「」《》、]+";
  const IN_SCRIPT_MANAGER = new RegExp(`(?:thunder|flashget|qqdl|fs2you):\\/\\/${TAIL}|ed2k:\\/\\/\\|${TAIL}|magnet:\\?${TAIL}`, "i");
  const IN_SCRIPT_WEB = new RegExp(`(?:https?|ftp):\\/\\/${TAIL}`, "i");
  const IN_TEXT = new RegExp(
    `(?:thunder|flashget|qqdl|fs2you):\\/\\/${TAIL}|ed2k:\\/\\/\\|${TAIL}|magnet:\\?${TAIL}|(?:https?|ftp):\\/\\/${TAIL}`, "gi");
  // Punctuation that ends a sentence rather than the address.
  const TRAILING = /[.,;:!?)\]}]+$/;

  function isManagerOrPeer(text) {
    return MANAGER.test(text) || PEER.test(text);
  }
  function isDownload(text) {
    return isManagerOrPeer(text) || WEB.test(text);
  }
  function clean(link) {
    // A manager link's payload (Base64) never ends in these, but its
    // closing "/" and "=" must stay.
    return link.replace(TRAILING, "");
  }

  // The link an element really leads to, when that is a download-manager,
  // ed2k or magnet link the page would hand to a plug-in; else null.
  function hiddenTarget(element) {
    if (!element || element.nodeType !== 1 || FORM_FIELDS.has(element.localName)) return null;
    for (const name of PLUGIN_ATTRIBUTES) {
      const value = (element.getAttribute(name) || "").trim();
      if (isDownload(value)) return value;
    }
    const href = (element.getAttribute("href") || "").trim();
    if (isManagerOrPeer(href)) return href;
    // Any other attribute naming a download manager's link is one of a
    // plug-in we do not know by name; magnet and ed2k links in attributes
    // are as often there to be copied.
    for (const attribute of element.attributes) {
      const name = attribute.name.toLowerCase();
      if (name.startsWith("on") || NOT_TARGETS.test(name)) continue;
      const value = attribute.value.trim();
      if (MANAGER.test(value)) return value;
    }
    for (const name of SCRIPT_ATTRIBUTES) {
      const value = element.getAttribute(name);
      if (!value || COPY_CALL.test(value)) continue;
      if (name === "href" && !/^\s*javascript:/i.test(value)) continue;
      const manager = value.match(IN_SCRIPT_MANAGER);
      if (manager) return clean(manager[0]);
      if (PLUGIN_CALL.test(value)) {
        const web = value.match(IN_SCRIPT_WEB);
        if (web) return clean(web[0]);
      }
    }
    return null;
  }

  // The element a click on `node` acts on and its hidden target: the nearest
  // element that has one, looking no further up than a link that leads to a
  // real address or a form field (those clicks are the page's own).
  function clickTarget(node) {
    let element = node && node.nodeType === 1 ? node : node && node.parentElement;
    for (; element && element !== document.body && element !== document.documentElement;
         element = element.parentElement) {
      const link = hiddenTarget(element);
      if (link) return { element, link };
      const tag = element.localName;
      if (FORM_FIELDS.has(tag)) break;
      if ((tag === "a" || tag === "area") && !/^\s*(?:#|javascript:|$)/i.test(element.getAttribute("href") || "")) break;
    }
    return null;
  }

  // What an anchor (or any element) in a selection contributes: its hidden
  // target, else its address when that is a download address.
  function elementLink(element) {
    const hidden = hiddenTarget(element);
    if (hidden) return hidden;
    if ((element.localName === "a" || element.localName === "area") && element.hasAttribute("href")) {
      const href = element.href;
      if (isDownload(href)) return href;
    }
    return null;
  }

  function linksInText(text, add) {
    for (const match of text.matchAll(IN_TEXT)) add(clean(match[0]));
  }

  // Every download link of the current selection, in page order, each once:
  // the links of the selected anchors and those written in the selected text.
  function selectionLinks(selection) {
    const out = [];
    const seen = new Set();
    const add = (link) => {
      if (link && !seen.has(link)) {
        seen.add(link);
        out.push(link);
      }
    };
    if (!selection) return out;
    for (let i = 0; i < selection.rangeCount; i++) {
      const range = selection.getRangeAt(i);
      let root = range.commonAncestorContainer;
      if (root.nodeType !== 1) root = root.parentNode;
      if (!root) continue;
      // The anchor that holds the whole selection counts too.
      const holder = root.closest && root.closest("a, area");
      if (holder) add(elementLink(holder));
      const walker = document.createTreeWalker(root, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT);
      for (let node = walker.currentNode; node; node = walker.nextNode()) {
        if (!range.intersectsNode(node)) continue;
        if (node.nodeType === 1) {
          add(elementLink(node));
          continue;
        }
        let text = node.data;
        if (node === range.endContainer) text = text.slice(0, range.endOffset);
        if (node === range.startContainer) text = text.slice(range.startOffset);
        linksInText(text, add);
      }
    }
    return out;
  }

  return { hiddenTarget, clickTarget, elementLink, selectionLinks, isDownload };
})();
