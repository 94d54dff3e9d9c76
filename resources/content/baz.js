// 八字分析: the four pillars with their elements, the balance of the five
// elements, the bone weight and the readings of the eight characters.
function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var d = R.parse(text);
  var main = R.page('八字分析', '四柱八字、五行强弱与命理解读');
  if (!d) { R.empty(main, '没有收到这个名字的八字数据。'); return; }

  var bazi = R.get(d, 'bazi');
  R.section(main, '四柱八字', function (s) {
    var zhu = R.list(R.get(bazi, 'zhu'));
    var summary = R.str(R.get(bazi, 'text'));
    var zodiac = R.str(R.get(bazi, 'sx'));
    var shown = false;
    if (summary !== '' || zodiac !== '') {
      R.append(s, R.facts([['八字', summary], ['生肖', zodiac]]));
      shown = true;
    }
    var cols = [];
    for (var i = 0; i < zhu.length && cols.length < 4; i++) if (R.isObject(zhu[i])) cols.push(zhu[i]);
    if (cols.length) {
      s.appendChild(pillars(cols));
      s.appendChild(R.el('p', 'note', '字的颜色表示五行：木绿、火红、土褐、金黄、水蓝。'));
      shown = true;
    }
    if (!shown) {
      var any = R.anyValue(bazi);
      if (!any) return false;
      s.appendChild(any);
    }
  }, 'wide');

  function pillars(cols) {
    var grid = R.el('div', 'pillars');
    grid.style.gridTemplateColumns = 'max-content repeat(' + cols.length + ', 1fr)';
    grid.appendChild(R.el('div', 'corner', ''));
    cols.forEach(function (c, i) {
      grid.appendChild(R.el('div', 'col-head' + (i === 2 ? ' day' : ''), R.str(R.get(c, 'name')) || '第' + (i + 1) + '柱'));
    });
    var rows = [
      ['十神', function (c) { return R.el('span', 'small', R.str(R.get(c, 'ss'))); }],
      ['天干', function (c) { return glyph(c, 'tg', 0); }],
      ['地支', function (c) { return glyph(c, 'dz', 1); }],
      ['五行', function (c) {
        var box = R.el('span');
        var wx = R.str(R.get(c, 'wx'));
        for (var k = 0; k < wx.length; k++) R.append(box, R.elementTag(wx.charAt(k)));
        return box;
      }],
      ['纳音', function (c) { return R.el('span', 'small', R.str(R.get(c, 'ny'))); }]
    ];
    rows.forEach(function (row) {
      grid.appendChild(R.el('div', 'row-head', row[0]));
      cols.forEach(function (c, i) {
        var cell = R.el('div', i === 2 ? 'day' : '');
        cell.appendChild(row[1](c));
        grid.appendChild(cell);
      });
    });
    return grid;
  }

  // A stem or branch coloured by its element (from "wx", or from the character).
  function glyph(c, key, index) {
    var ch = R.str(R.get(c, key));
    if (ch === '') { var gz = R.str(R.get(c, 'gz')); ch = gz.charAt(index); }
    var e = R.str(R.get(c, 'wx')).charAt(index);
    if (!R.ELEMENT_CLASS[e]) e = R.elementOf(ch);
    return R.el('span', 'gz ' + (R.ELEMENT_CLASS[e] || ''), ch || '—');
  }

  var pdy = R.get(d, 'pdy');
  R.section(main, '五行强弱', function (s) {
    var shown = false;
    var bars = R.elementBars(R.get(pdy, 'wx'), R.get(pdy, 'xys'));
    if (bars) { var fig = R.el('div', 'figure'); fig.appendChild(bars); s.appendChild(fig); shown = true; }
    var wanted = R.str(R.get(pdy, 'xys'));
    var wantedBox = null;
    if (wanted !== '') {
      wantedBox = R.el('span');
      for (var i = 0; i < wanted.length; i++) {
        var e = wanted.charAt(i);
        if (R.ELEMENT_CLASS[e]) R.append(wantedBox, R.elementTag(e)); else wantedBox.appendChild(document.createTextNode(e));
      }
    }
    var f = R.facts([['日主', R.str(R.get(pdy, 'rz'))], ['强弱', R.str(R.get(pdy, 'qr'))], ['喜用五行', wantedBox]]);
    if (f) { s.appendChild(f); shown = true; }
    var js = R.paragraphs(R.get(pdy, 'js'));
    if (js) { s.appendChild(js); shown = true; }
    if (!shown) {
      var any = R.anyValue(pdy);
      if (!any) return false;
      s.appendChild(any);
    }
  });

  var cgsm = R.get(d, 'cgsm');
  R.section(main, '称骨论命', function (s) {
    var l = R.num(R.get(cgsm, 'l')), q = R.num(R.get(cgsm, 'q'));
    var shown = false;
    if (!isNaN(l)) {
      var w = R.chineseDigit(l) + '两' + (!isNaN(q) && q > 0 ? R.chineseDigit(q) + '钱' : '');
      var p = R.el('p');
      p.appendChild(document.createTextNode('骨重 '));
      p.appendChild(R.el('span', 'weight', w));
      s.appendChild(p);
      R.append(s, R.weightScale(l * 10 + (isNaN(q) ? 0 : q)));
      shown = true;
    }
    if (R.hasText(R.get(cgsm, 'js1'))) { s.appendChild(R.el('blockquote', 'verse', R.get(cgsm, 'js1'))); shown = true; }
    var js = R.paragraphs(R.get(cgsm, 'js2'));
    if (js) { s.appendChild(js); shown = true; }
    return shown;
  });

  R.section(main, '三命通会', function (s) {
    var titles = ['日干与时辰', '年柱纳音', '出生月令', '日主强弱', '五行盈缺'];
    var pieces = R.list(R.get(d, 'sclm'));
    var details = R.el('div', 'details');
    for (var i = 0; i < pieces.length; i++) {
      var piece = pieces[i];
      if (!R.hasText(piece) || R.isPlaceholder(piece)) continue;
      var box = R.el('div');
      box.appendChild(R.el('h3', null, titles[i] || '解读'));
      R.append(box, R.paragraphs(piece));
      details.appendChild(box);
    }
    if (!details.childNodes.length) return false;
    s.appendChild(details);
  }, 'wide');
}
