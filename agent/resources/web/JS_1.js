// The bridge between a page and the agent that serves it. The agent's element
// operations arrive in order as server-sent events; clicks, page loads and
// key presses go back with the value and check state of every input, so that
// the agent can answer its reads from that snapshot at once.
(() => {
  "use strict";
  const params = new URLSearchParams(location.search);
  const generation = params.get("g") || "0";
  const pageId = Math.random().toString(36).slice(2) + Date.now().toString(36);

  function snapshot() {
    const inputs = {};
    for (const element of document.querySelectorAll("input[id], select[id], textarea[id]")) {
      inputs[element.id] = [element.value, element.checked === true];
    }
    return inputs;
  }

  function post(message) {
    message.g = generation;
    message.p = pageId;
    message.inputs = snapshot();
    return fetch("/event", {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify(message),
      credentials: "same-origin",
      cache: "no-store",
    }).then((reply) => (reply.ok ? reply.json() : {})).catch(() => ({}));
  }

  function element(id) {
    return document.getElementById(id);
  }

  // Scripts never run from inserted markup; the pages' own scripts listen for
  // this event to react to new content.
  function changed(id) {
    document.dispatchEvent(new CustomEvent("agent:changed", { detail: { id } }));
  }

  function apply(op) {
    const target = op.id !== undefined ? element(op.id) : null;
    switch (op.op) {
      case "inner":
        if (target) { target.innerHTML = op.html; changed(op.id); }
        break;
      case "outer":
        if (target) { target.outerHTML = op.html; changed(op.id); }
        break;
      case "value":
        if (target) target.value = op.value;
        break;
      case "checked":
        if (target) target.checked = op.checked;
        break;
      case "navigate":
        location.replace(op.url);
        break;
      case "overlay":
        showOverlay(op);
        break;
      case "overlayDone":
        closeOverlay(op.n);
        break;
      case "ended":
        document.body.classList.add("ended");
        events.close();
        break;
    }
  }

  // Overlays: modal dialogs built from text only (never from markup).
  const overlays = new Map();

  function make(tag, props, children) {
    const node = document.createElement(tag);
    Object.assign(node, props || {});
    for (const child of children || []) node.append(child);
    return node;
  }

  function closeOverlay(n) {
    const dialog = overlays.get(n);
    if (!dialog) return;
    overlays.delete(n);
    dialog.close();
    dialog.remove();
  }

  function answer(n, result) {
    return post(Object.assign({ type: "overlay", n }, result));
  }

  function showOverlay(op) {
    if (overlays.has(op.n)) return;
    const dialog = make("dialog", { id: "Overlay" + op.n, className: "overlay-" + op.kind });
    dialog.dataset.kind = op.kind;
    dialog.append(make("h2", { textContent: op.caption || "Tavelnor Agent" }));
    if (op.text) dialog.append(make("p", { textContent: op.text }));
    const buttons = make("p", { className: "buttons" });
    const ok = make("input", { type: "button", className: "blue", value: "OK", id: "OverlayOk" });
    buttons.append(ok);
    let result = () => ({ ok: true });
    if (op.kind === "checks") {
      const boxes = op.checks.map((check, i) => {
        const box = make("input", { type: "checkbox", checked: check.checked, id: "OverlayCheck" + i });
        const label = make("label", { className: "check" }, [box, " " + check.label]);
        label.hidden = check.hidden;
        dialog.append(label);
        return box;
      });
      result = () => ({ ok: true, checks: boxes.map((box) => box.checked) });
    } else if (op.kind === "file") {
      result = fileChooser(dialog, op);
    }
    if (op.kind !== "message" && op.kind !== "about") {
      const cancel = make("input", { type: "button", className: "plain", value: "Cancel", id: "OverlayCancel" });
      cancel.addEventListener("click", () => answer(op.n, { ok: false }));
      buttons.append(" ", cancel);
    }
    ok.addEventListener("click", () => {
      const chosen = result();
      if (chosen) answer(op.n, chosen).then((reply) => showError(dialog, reply.error));
    });
    dialog.addEventListener("cancel", (event) => {
      event.preventDefault();
      answer(op.n, { ok: false });
    });
    dialog.append(buttons);
    document.body.append(dialog);
    overlays.set(op.n, dialog);
    dialog.showModal();
  }

  function showError(dialog, text) {
    let line = dialog.querySelector(".error");
    if (!text) { if (line) line.remove(); return; }
    if (!line) { line = make("p", { className: "error", role: "alert" }); dialog.querySelector(".buttons").before(line); }
    line.textContent = text;
  }

  // The file chooser: folders and files of the user's machine, listed by the agent.
  function fileChooser(dialog, op) {
    const folderLine = make("p", { className: "small", id: "OverlayFolder" });
    const list = make("div", { className: "list", id: "OverlayList", role: "listbox" });
    const name = make("input", { type: "text", id: "OverlayName", value: op.name || "" });
    const filter = make("select", { id: "OverlayFilter" });
    op.filters.forEach((entry, i) => filter.append(make("option", { value: String(i), textContent: entry.label })));
    dialog.append(folderLine, list,
      make("div", { className: "row" }, [make("label", { textContent: "File name:", htmlFor: "OverlayName" }), name]),
      make("div", { className: "row" }, [make("label", { textContent: "Files of type:", htmlFor: "OverlayFilter" }), filter]));
    let folder = op.folder || "";
    const matches = (file) => {
      const pattern = op.filters[Number(filter.value)]?.pattern || "*.*";
      if (pattern === "*.*" || pattern === "*") return true;
      return file.toLowerCase().endsWith(pattern.replace(/^\*/, "").toLowerCase());
    };
    function open(path) {
      fetch("/files?path=" + encodeURIComponent(path), { credentials: "same-origin" })
        .then((reply) => reply.json())
        .then((listing) => {
          if (listing.error) { showError(dialog, listing.error); return; }
          showError(dialog, "");
          folder = listing.path;
          folderLine.textContent = listing.path;
          list.replaceChildren();
          if (listing.parent) {
            const up = make("button", { type: "button", textContent: "\u2191 ..", className: "folder" });
            up.addEventListener("click", () => open(listing.parent));
            list.append(up);
          }
          for (const entry of listing.entries) {
            if (!entry.dir && !matches(entry.name)) continue;
            const item = make("button", { type: "button", textContent: (entry.dir ? "\u{1F4C1} " : "") + entry.name });
            item.dataset.name = entry.name;
            item.addEventListener("click", () => {
              if (entry.dir) { open(listing.path.replace(/\/$/, "") + "/" + entry.name); return; }
              name.value = entry.name;
              for (const other of list.querySelectorAll(".selected")) other.classList.remove("selected");
              item.classList.add("selected");
            });
            item.addEventListener("dblclick", () => { if (!entry.dir) dialog.querySelector("#OverlayOk").click(); });
            list.append(item);
          }
        });
    }
    filter.addEventListener("change", () => open(folder));
    open(folder);
    return () => (name.value.trim() ? { ok: true, folder, name: name.value.trim() } : null);
  }

  // Clicks on links and buttons that have an id. Links of the messages pane
  // that lead to the web open as usual.
  document.addEventListener("click", (event) => {
    if (event.target.closest("dialog")) return;
    const target = event.target.closest("a[id], button[id], input[type=button][id], input[type=submit][id]");
    if (!target) {
      const link = event.target.closest("a");
      if (link && (link.getAttribute("href") || "#").startsWith("#")) event.preventDefault();
      return;
    }
    event.preventDefault();
    post({ type: "click", id: target.id });
  });

  // Forms never submit to anywhere; Enter in a field does nothing.
  document.addEventListener("submit", (event) => event.preventDefault());

  document.addEventListener("keydown", (event) => {
    if (!event.ctrlKey && !event.altKey) return;
    if (["Control", "Alt", "Shift", "Meta"].includes(event.key)) return;
    const key = event.key.length === 1 ? event.key.toUpperCase() : event.key;
    const keys = (event.ctrlKey ? "Ctrl+" : "") + (event.altKey ? "Alt+" : "") + (event.shiftKey ? "Shift+" : "") + key;
    post({ type: "key", keys });
  });

  const events = new EventSource("/events?g=" + encodeURIComponent(generation) + "&p=" + pageId);
  events.onmessage = (message) => apply(JSON.parse(message.data));

  addEventListener("pagehide", () => {
    navigator.sendBeacon("/event", JSON.stringify({ type: "hide", g: generation, p: pageId }));
  });

  post({ type: "load", url: location.pathname + location.search });
})();
