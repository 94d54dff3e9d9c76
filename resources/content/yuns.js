// 姓名运势: the name's own hexagram, the hexagrams of its stages and the
// five aspects of its fortune.
function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var d = R.parse(text);
  var name = R.str(R.get(d, 'name'));
  var main = R.page('姓名运势', name ? name + '的卦象与运势' : '卦象与运势');
  if (!d) { R.empty(main, '没有收到这个名字的运势数据。'); return; }

  R.section(main, '本卦', function (s) {
    var gua = R.str(R.get(d, 'gua'));
    if (gua === '' && !R.hasText(R.get(d, 'js'))) return false;
    var row = R.el('div', 'gua');
    R.append(row, R.hexagram(gua, 64));
    var body = R.el('div');
    if (gua) body.appendChild(R.el('div', 'gua-name', gua));
    if (name) body.appendChild(R.el('p', 'note', '姓名“' + name + '”所得之卦'));
    R.append(body, R.paragraphs(R.get(d, 'js')));
    row.appendChild(body);
    s.appendChild(row);
  }, 'wide');

  // Elements are [number, luck, name, text]; missing ones are null.
  function items(key) {
    return R.list(R.get(d, key)).filter(function (v) { return Array.isArray(v) && v.some(R.hasText); });
  }

  R.section(main, '运势卦象', function (s) {
    var list = items('list');
    if (!list.length) return false;
    list.forEach(function (v) {
      var row = R.el('div', 'gua grid-detail');
      R.append(row, R.hexagram(v[2], 40));
      var body = R.el('div');
      var h = R.el('h3', null, (R.hasText(v[0]) ? R.str(v[0]) + '．' : '') + R.str(v[2]));
      R.append(h, R.luckTag(v[1]));
      body.appendChild(h);
      R.append(body, R.paragraphs(v[3]));
      row.appendChild(body);
      s.appendChild(row);
    });
  }, 'wide');

  R.section(main, '各项运势', function (s) {
    var list = items('yunshi');
    if (!list.length) return false;
    var grid = R.el('div', 'aspects');
    list.forEach(function (v) {
      var box = R.el('div', 'aspect');
      var h = R.el('h3', null, R.str(v[2]) || (R.hasText(v[0]) ? '第' + R.str(v[0]) + '项' : ''));
      R.append(h, R.luckTag(v[1]));
      box.appendChild(h);
      R.append(box, R.paragraphs(v[3]));
      grid.appendChild(box);
    });
    s.appendChild(grid);
  }, 'wide');
}
