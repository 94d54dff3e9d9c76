// 名字对比: two to four favourites side by side, one column per name. The host
// sends one JSON text: "names" (the full names), "rows" (each a label, the
// texts of its cells, optional "tags" — a luck or grade mark per cell — and
// "best", the columns holding the best value of the row; rows of one "group"
// follow each other), "sources" (a classical line per name, or null) and
// "strongest" (each name's strongest point, in words).
function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var d = R.parse(text);
  var names = R.list(R.get(d, 'names'));
  var main = R.page('名字对比', names.length ? names.map(R.str).join(' · ') : '', true);
  if (!d || !names.length) { R.empty(main, '没有收到可以对比的名字。'); return; }

  R.section(main, null, function (s) {
    var table = R.el('table', 'compare');
    var head = R.el('thead');
    var hr = R.el('tr');
    hr.appendChild(R.el('th', 'corner'));
    for (var i = 0; i < names.length; i++) hr.appendChild(R.el('th', 'compare-name', R.str(names[i])));
    head.appendChild(hr);
    table.appendChild(head);

    var body = R.el('tbody');
    var rows = R.list(R.get(d, 'rows'));
    var group = null;
    for (var r = 0; r < rows.length; r++) {
      var row = rows[r];
      var g = R.str(R.get(row, 'group'));
      if (g !== '' && g !== group) {
        var gr = R.el('tr', 'compare-group');
        var gc = R.el('th', null, g);
        gc.setAttribute('colspan', String(names.length + 1));
        gr.appendChild(gc);
        body.appendChild(gr);
      }
      group = g;
      var tr = R.el('tr');
      tr.appendChild(R.el('th', 'compare-label', R.str(R.get(row, 'label'))));
      var cells = R.list(R.get(row, 'cells'));
      var tags = R.list(R.get(row, 'tags'));
      var best = R.list(R.get(row, 'best'));
      for (var c = 0; c < names.length; c++) {
        var td = R.el('td');
        var value = R.str(cells[c]);
        td.appendChild(R.el('span', 'compare-value', value === '' ? '—' : value));
        if (R.hasText(tags[c])) R.append(td, R.luckTag(tags[c]));
        if (best.indexOf(c) >= 0) {
          td.className = 'best';
          td.appendChild(R.el('span', 'best-mark', '最佳'));
        }
        tr.appendChild(td);
      }
      body.appendChild(tr);
    }

    var sources = R.list(R.get(d, 'sources'));
    var anySource = sources.some(function (x) { return R.hasText(R.get(x, 'Text')); });
    if (anySource) {
      var sr = R.el('tr', 'compare-source');
      sr.appendChild(R.el('th', 'compare-label', '出处'));
      for (var k = 0; k < names.length; k++) {
        var cell = R.el('td');
        var src = sources[k];
        if (R.hasText(R.get(src, 'Text'))) {
          cell.appendChild(R.el('p', 'verse-line', '「' + R.str(R.get(src, 'Text')) + '」'));
          var by = [R.str(R.get(src, 'Book')), R.str(R.get(src, 'Title')), R.str(R.get(src, 'Author'))]
            .filter(function (x) { return x !== ''; }).join(' · ');
          if (by !== '') cell.appendChild(R.el('p', 'note', by));
        } else {
          cell.appendChild(R.el('span', 'compare-value', '—'));
        }
        sr.appendChild(cell);
      }
      body.appendChild(sr);
    }

    var strongest = R.list(R.get(d, 'strongest'));
    var st = R.el('tr', 'compare-strongest');
    st.appendChild(R.el('th', 'compare-label', '最大优势'));
    for (var m = 0; m < names.length; m++) {
      var v = R.str(strongest[m]);
      st.appendChild(R.el('td', null, v === '' ? '—' : v));
    }
    body.appendChild(st);
    table.appendChild(body);
    s.appendChild(table);
    s.appendChild(R.el('p', 'note', '标“最佳”的是这一行中最好的一项；评分越高越好，吉凶按 大吉、吉、半吉、凶 排列。'));
  }, 'compare-card');
}
