// The printed report: one document that holds a header, the pages of a
// report in order (each filled by its own SetData, exactly as in the report
// window) and a footer repeated on every sheet. The host calls
//   PrintReport.begin(header, footer); PrintReport.page('zongh'); SetData(...); ...
//   PrintReport.end();
// and prints once PrintReport.ready is true.
//
// Every page sits in a table of its own whose footer row is an empty spacer:
// the engine repeats a table's footer row on every sheet the table spans, so
// the text never runs under the fixed footer line.
(function () {
  'use strict';
  var R = window.Report;
  var kept = {};
  var pendingHeader = null;

  function keep(name, setData) {
    if (typeof name === 'string' && typeof setData === 'function') kept[name] = setData;
  }

  // The name header of the first sheet: the characters with pinyin above and
  // their element and luck below, the total score, and a few facts.
  function header(d) {
    var box = R.el('section', 'print-header');
    var left = R.el('div', 'print-title');
    left.appendChild(R.el('p', 'print-kind', R.str(R.get(d, 'title'))));
    var chars = R.list(R.get(d, 'chars'));
    if (chars.length) {
      var row = R.el('div', 'print-name');
      row.setAttribute('aria-label', R.str(R.get(d, 'name')));
      for (var i = 0; i < chars.length; i++) {
        var c = chars[i];
        var cell = R.el('div', 'print-char');
        cell.appendChild(R.el('span', 'print-py', R.str(R.get(c, 'py'))));
        cell.appendChild(R.el('span', 'print-hanzi', R.str(R.get(c, 'c'))));
        var marks = R.el('span', 'print-marks');
        R.append(marks, R.elementTag(R.get(c, 'wx')));
        R.append(marks, R.luckTag(R.get(c, 'jx')));
        cell.appendChild(marks);
        row.appendChild(cell);
      }
      left.appendChild(row);
    } else {
      left.appendChild(R.el('p', 'print-hanzi', R.str(R.get(d, 'name'))));
    }
    R.append(left, R.facts(R.list(R.get(d, 'facts')).map(function (f) { return [R.str(R.get(f, 0)), R.str(R.get(f, 1))]; })));
    box.appendChild(left);
    var score = R.str(R.get(d, 'score'));
    if (score !== '') {
      var right = R.el('div', 'print-score');
      right.appendChild(R.el('span', 'print-score-label', '综合评分'));
      right.appendChild(R.el('span', 'print-score-value', score));
      box.appendChild(right);
    }
    return box;
  }

  function begin(headerText, footerText) {
    var body = document.body;
    while (body.firstChild) body.removeChild(body.firstChild);
    var foot = R.el('footer', 'print-footer', footerText);
    body.appendChild(foot);
    pendingHeader = R.parse(headerText);
    R.errors.length = 0;
  }

  // A new sheet for the page `name`; the SetData call that follows fills it.
  function page(name) {
    var table = R.el('table', 'sheet');
    var tfoot = R.el('tfoot');
    var ftr = R.el('tr');
    var ftd = R.el('td');
    ftd.appendChild(R.el('div', 'sheet-spacer'));
    ftr.appendChild(ftd);
    tfoot.appendChild(ftr);
    var tbody = R.el('tbody');
    var tr = R.el('tr');
    var td = R.el('td');
    tr.appendChild(td);
    tbody.appendChild(tr);
    table.appendChild(tfoot);
    table.appendChild(tbody);
    document.body.appendChild(table);
    if (pendingHeader) {
      td.appendChild(header(pendingHeader));
      pendingHeader = null;
    }
    var root = R.el('div', 'print-page');
    root.setAttribute('data-page', String(name));
    td.appendChild(root);
    R.root = root;
    var setData = kept[name];
    window.SetData = setData || function () { R.errors.push('no page script for ' + name); };
  }

  // Cards up to about half a sheet are kept whole on one sheet, so no
  // heading stays behind alone at a sheet's foot; longer ones flow on, so no
  // sheet is left nearly empty. The host lays the page out as wide as a
  // sheet's text column, so the heights measured here are the printed ones.
  var KEEP_WHOLE_PX = 480;

  function end() {
    R.root = null;
    var cards = document.querySelectorAll('.print-page .card');
    for (var i = 0; i < cards.length; i++) {
      if (cards[i].getBoundingClientRect().height <= KEEP_WHOLE_PX) cards[i].classList.add('print-keep');
    }
    window.PrintReport.ready = false;
    var done = function () { window.PrintReport.ready = true; };
    if (document.fonts && document.fonts.ready) document.fonts.ready.then(done, done); else done();
    return R.errors.length ? R.errors.join('\n') : '';
  }

  window.PrintReport = { keep: keep, begin: begin, page: page, end: end, ready: false };
})();
