// The choice pages: "Select all" ticks every box of the list, and the route of
// the row under the pointer or the keyboard focus is shown beside the list.
(() => {
  "use strict";
  const all = document.getElementById("CheckAll");
  const form = all ? all.form : null;
  if (all && form) {
    all.addEventListener("change", () => {
      for (const box of form.querySelectorAll("input[type=checkbox]")) box.checked = all.checked;
    });
  }

  const hint = document.getElementById("RouteHint");
  let shown = null;
  function showRoute(row) {
    const box = row ? row.querySelector("input[type=checkbox][id]") : null;
    const drawing = box ? document.getElementById("route-" + box.id) : null;
    if (drawing === shown) return;
    // The drawings are SVG elements, which have no "hidden" property of their own.
    if (shown) shown.setAttribute("hidden", "");
    shown = drawing;
    if (shown) shown.removeAttribute("hidden");
    if (hint) hint.hidden = shown !== null;
  }
  for (const kind of ["mouseover", "focusin"]) {
    document.addEventListener(kind, (event) => {
      const row = event.target.closest ? event.target.closest("#ActivityTable tr, #TrackTable tr") : null;
      if (row) showRoute(row);
    });
  }
  document.addEventListener("agent:changed", () => { shown = null; });
})();
