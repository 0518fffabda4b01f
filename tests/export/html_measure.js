// Injected into a copy of a report page by check_html_browser.sh: once the
// page is laid out, writes what check_html_pages.py checks into a <pre
// id="measure"> as JSON: each file name of the index with the width of its
// cell and of its text, and every text whose contrast with the background
// behind it is below 4.5:1.
window.addEventListener("load", function () {
  // Groups out of sight are laid out as they come into sight; measuring
  // lays them all out at once, as they would be.
  var sections = document.querySelectorAll(".filelist section");
  for (var s = 0; s < sections.length; s++) sections[s].style.contentVisibility = "visible";
  var names = [];
  var cells = document.querySelectorAll(".filelist tbody th");
  for (var i = 0; i < cells.length; i++) {
    var cell = cells[i], link = cell.querySelector("a"), box = cell.getBoundingClientRect();
    var range = document.createRange();
    range.selectNodeContents(link);
    var text = range.getBoundingClientRect();
    names.push({ name: link.textContent, cell: box.width, cellRight: box.right, textWidth: text.width,
                 textRight: text.right, clipped: cell.scrollWidth > cell.clientWidth + 1,
                 viewport: document.documentElement.clientWidth });
  }
  function rgb(text) {
    var m = text.match(/[\d.]+/g);
    return m ? { r: +m[0], g: +m[1], b: +m[2], a: m.length > 3 ? +m[3] : 1 } : null;
  }
  function luminance(c) {
    var f = function (v) { v /= 255; return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * f(c.r) + 0.7152 * f(c.g) + 0.0722 * f(c.b);
  }
  function background(element) {
    for (var e = element; e; e = e.parentElement) {
      var c = rgb(getComputedStyle(e).backgroundColor);
      if (c && c.a > 0.5) return c;
    }
    return { r: 255, g: 255, b: 255, a: 1 };
  }
  var low = [], seen = 0;
  var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  for (var node = walker.nextNode(); node; node = walker.nextNode()) {
    var element = node.parentElement;
    if (!node.textContent.trim() || !element || element.closest("script, pre#measure")) continue;
    var style = getComputedStyle(element);
    if (style.visibility === "hidden" || style.display === "none" || element.getClientRects().length === 0) continue;
    var fg = rgb(style.color), bg = background(element);
    var a = luminance(fg), b = luminance(bg);
    var ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
    seen++;
    if (ratio < 4.5) low.push({ text: node.textContent.trim().slice(0, 40), ratio: Math.round(ratio * 100) / 100,
                                color: style.color, background: "rgb(" + bg.r + "," + bg.g + "," + bg.b + ")" });
  }
  var pre = document.createElement("pre");
  pre.id = "measure";
  pre.textContent = JSON.stringify({ names: names, texts: seen, lowContrast: low,
                                     dark: matchMedia("(prefers-color-scheme: dark)").matches });
  document.body.appendChild(pre);
});
