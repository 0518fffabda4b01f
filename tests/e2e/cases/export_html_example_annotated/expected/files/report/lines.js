// qarpost-export HTML report: the keys j and k go to the next and the
// previous line that is not fully covered.
(function () {
  var rows = document.querySelectorAll("tr.n[id^=L], tr.p[id^=L]"), lines = [];
  for (var i = 0; i < rows.length; i++) lines.push(+rows[i].id.slice(1));
  lines.sort(function (a, b) { return a - b; });
  document.addEventListener("keydown", function (e) {
    if (e.ctrlKey || e.metaKey || e.altKey || /^(INPUT|TEXTAREA|SELECT)$/.test(e.target.nodeName)) return;
    var step = e.key === "j" ? 1 : e.key === "k" ? -1 : 0;
    if (!step || !lines.length) return;
    var here = +location.hash.slice(2) || 0, to = -1;
    for (var j = 0; j < lines.length; j++) {
      if (step > 0 && lines[j] > here) { to = lines[j]; break; }
      if (step < 0 && lines[j] < here) to = lines[j];
    }
    if (to >= 0) location.hash = "#L" + to;
  });
})();
