// 三才五格: the five grids with their numbers, elements and luck, the three
// talents, how the grids work together, the structure and the name's hexagram.
function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var d = R.parse(text);
  var main = R.page('三才五格', '姓名笔画数理、三才配置与卦象');
  if (!d) { R.empty(main, '没有收到这个名字的五格数据。'); return; }

  var GRIDS = [['tg', '天格'], ['rg', '人格'], ['dg', '地格'], ['wg', '外格'], ['zg', '总格']];
  var ROLE = { tg: '祖运', rg: '主运', dg: '前运', wg: '副运', zg: '后运' };
  var wuge = R.get(d, 'wuge');

  // A grid's pieces: [label, "25（土）", luck, title, meaning, reading].
  function grid(key, fallback) {
    var p = R.list(R.get(wuge, key));
    var label = R.str(p[0]) || fallback;
    var value = R.str(p[1]);
    var m = /^\s*(\d+)\s*[（(]\s*([木火土金水])\s*[）)]/.exec(value);
    return {
      label: R.isPlaceholder(label) ? fallback : label,
      value: R.isPlaceholder(value) ? '' : value,
      number: m ? m[1] : (/^\s*\d+\s*$/.test(value) ? value.trim() : ''),
      element: m ? m[2] : '',
      luck: R.isPlaceholder(p[2]) ? '' : R.str(p[2]),
      texts: p.slice(3).filter(function (t) { return R.hasText(t) && !R.isPlaceholder(t); })
    };
  }

  R.section(main, '五格数理', function (s) {
    var grids = GRIDS.map(function (g) { return grid(g[0], g[1]); });
    if (!grids.some(function (g) { return g.value || g.luck || g.texts.length; })) return false;
    var tiles = R.el('div', 'grids');
    grids.forEach(function (g) {
      var tile = R.el('div', 'grid-tile');
      tile.appendChild(R.el('div', 'label', g.label));
      tile.appendChild(R.el('div', 'number ' + (R.ELEMENT_CLASS[g.element] || ''), g.number || g.value || '—'));
      var marks = R.el('div');
      R.append(marks, R.elementTag(g.element));
      R.append(marks, R.luckTag(g.luck));
      tile.appendChild(marks);
      tiles.appendChild(tile);
    });
    s.appendChild(tiles);
    var details = R.el('div', 'details');
    s.appendChild(details);
    grids.forEach(function (g, i) {
      if (!g.texts.length && !g.luck) return;
      var box = R.el('div', 'grid-detail');
      var h = R.el('h3', null, g.label + (g.number ? ' ' + g.number : '') + (ROLE[GRIDS[i][0]] ? '（' + ROLE[GRIDS[i][0]] + '）' : ''));
      R.append(h, R.luckTag(g.luck));
      box.appendChild(h);
      if (g.texts.length) {
        box.appendChild(R.el('p', 'summary-line', g.texts[0]));
        R.append(box, R.paragraphs(g.texts.slice(1).join('<br>')));
      }
      details.appendChild(box);
    });
  }, 'wide');

  var sancai = R.get(d, 'sancai');
  R.section(main, '三才配置', function (s) {
    var pz = R.str(R.get(sancai, 'pz'));
    var els = [pz.charAt(0), pz.charAt(1), pz.charAt(2)];
    var shown = false;
    if (els.some(function (e) { return R.ELEMENT_CLASS[e]; })) {
      var fig = R.el('div', 'figure');
      fig.appendChild(R.talents(els));
      s.appendChild(fig);
      shown = true;
    }
    var head = R.el('h3', null, R.str(R.get(sancai, 'js')) || (pz ? '三才' + pz : '三才'));
    R.append(head, R.luckTag(R.get(sancai, 'jx')));
    if (R.hasText(R.get(sancai, 'js')) || R.hasText(R.get(sancai, 'jx'))) { s.appendChild(head); shown = true; }
    ['js1', 'js2'].forEach(function (k) {
      var p = R.paragraphs(R.get(sancai, k));
      if (p) { s.appendChild(p); shown = true; }
    });
    return shown;
  });

  var peihe = R.get(d, 'peihe');
  R.section(main, '五格配合', function (s) {
    var shown = false;
    var layout = R.facts([['三格', R.str(R.get(peihe, 'p4'))], ['外格与总格', R.str(R.get(peihe, 'p5'))]]);
    if (layout) { s.appendChild(layout); shown = true; }
    [['p1', '成功运'], ['p2', '基础运'], ['p3', '社交运']].forEach(function (item) {
      var v = R.list(R.get(peihe, item[0]));
      if (!R.hasText(v[0]) && !R.hasText(v[1])) return;
      var h = R.el('h3', null, item[1]);
      R.append(h, R.luckTag(v[0]));
      s.appendChild(h);
      R.append(s, R.paragraphs(v[1]));
      shown = true;
    });
    var p6 = R.list(R.get(peihe, 'p6'));
    if (p6.length && (R.hasText(p6[1]) || p6[0] !== undefined && p6[0] !== null)) {
      var h6 = R.el('h3', null, '五行喜用');
      if (typeof p6[0] === 'string' && p6[0] !== '') h6.appendChild(R.el('span', 'tag plain', p6[0]));
      s.appendChild(h6);
      if (typeof p6[0] !== 'string') R.append(s, R.anyValue(p6[0]));
      R.append(s, R.paragraphs(p6[1]));
      shown = true;
    }
    return shown;
  });

  R.section(main, '数理格局', function (s) {
    var shown = false;
    var geju = R.anyValue(R.get(d, 'geju'));
    if (geju) { s.appendChild(R.el('h3', null, '格局')); s.appendChild(geju); shown = true; }
    var youdao = R.anyValue(R.get(d, 'youdao'));
    if (youdao) { s.appendChild(R.el('h3', null, '名字优点')); s.appendChild(youdao); shown = true; }
    return shown;
  });

  R.section(main, '姓名卦象', function (s) {
    var gx = R.list(R.get(d, 'gx'));
    var name = R.str(gx[0]);
    if (name === '' && !R.hasText(gx[1])) return false;
    var row = R.el('div', 'gua');
    R.append(row, R.hexagram(name, 56));
    var body = R.el('div');
    if (name) body.appendChild(R.el('div', 'gua-name', name));
    R.append(body, R.paragraphs(gx[1]));
    row.appendChild(body);
    s.appendChild(row);
  });
}
