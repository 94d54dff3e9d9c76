// 小名分析: the nickname's scores, its numerology, each character's meaning
// and fit with the zodiac, and the service's advice.
function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var d = R.parse(text);
  var main = R.page('小名分析', '小名评分、数理与用字');
  if (!d) { R.empty(main, '没有收到这个小名的分析数据。'); return; }

  var score = R.get(d, 'score');
  R.section(main, '小名评分', function (s) {
    var rings = R.el('div', 'rings');
    var total = R.ring(R.get(score, 'total'), '综合', { size: 120 });
    if (total) { total.setAttribute('class', 'chart big'); rings.appendChild(total); }
    var parts = [['wx', '五行'], ['sx', '生肖'], ['jx', '数理'], ['yy', '音律'], ['c', '常用度']];
    for (var i = 0; i < parts.length; i++) R.append(rings, R.ring(R.get(score, parts[i][0]), parts[i][1]));
    if (rings.childNodes.length) { s.appendChild(rings); return; }
    var any = R.anyValue(score);
    if (!any) return false;
    s.appendChild(any);
  }, 'wide');

  var shuli = R.get(d, 'shuli');
  R.section(main, '小名数理', function (s) {
    var shown = 0;
    [['xm', '小名笔画'], ['zong', '姓氏连小名']].forEach(function (item) {
      var p = R.list(R.get(shuli, item[0]));
      if (!p.some(R.hasText)) return;
      var h = R.el('h3', null, item[1] + (R.hasText(p[0]) ? ' ' + R.str(p[0]) : ''));
      R.append(h, R.luckTag(p[2]));
      s.appendChild(h);
      if (R.hasText(p[1])) s.appendChild(R.el('p', 'note', p[1]));
      if (R.hasText(p[3])) s.appendChild(R.el('p', 'summary-line', p[3]));
      R.append(s, R.paragraphs([R.str(p[4]), R.str(p[5])].filter(R.hasText).join('<br>')));
      shown++;
    });
    return shown > 0;
  });

  R.characterSection(main, '用字解析', R.get(d, 'hz'), false);
  R.characterSection(main, '生肖用字', R.get(d, 'sx'), true);

  R.section(main, '起名建议', function (s) {
    var v = R.anyValue(R.get(d, 'jy'));
    if (!v) return false;
    s.appendChild(v);
  }, 'advice');
}
