// 综合提示: birth time and place, the part scores, the sound and shape of
// the name, the meaning of each character, its fit with the zodiac and the
// overall advice.
function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var d = R.parse(text);
  var main = R.page('综合提示', '出生信息、名字评分与用字解析');
  if (!d) { R.empty(main, '没有收到这个名字的分析数据。'); return; }

  var score = R.get(d, 'score');
  R.section(main, '名字评分', function (s) {
    var rings = R.el('div', 'rings');
    // The advice opens with the name's total ("此名综合评分76.63分"); it leads the picture.
    var total = /综合评分\s*(\d+(?:\.\d+)?)\s*分/.exec(R.str(R.get(d, 'jy')));
    if (total) {
      var big = R.ring(parseFloat(total[1]), '综合', { size: 120, text: total[1] });
      big.setAttribute('class', 'chart big');
      rings.appendChild(big);
    }
    var parts = [['wx', '五行'], ['jx', '吉凶'], ['sx', '生肖'], ['yy', '音律']];
    for (var i = 0; i < parts.length; i++) R.append(rings, R.ring(R.get(score, parts[i][0]), parts[i][1]));
    R.append(rings, R.ring(R.get(score, 'bhfen'), '笔画', { text: R.str(R.get(score, 'bhfen')) }));
    if (!rings.childNodes.length) return false;
    s.appendChild(rings);
    s.appendChild(R.el('p', 'note', '各项满分为100分，分数越高越好。'));
  }, 'wide');

  R.section(main, '名字出处', function (s) {
    var cc = R.get(d, 'cc');
    var text = R.str(R.get(cc, 'text'));
    if (!R.hasText(text)) return false;
    s.appendChild(markedLine(R, text, R.str(R.get(cc, 'ming'))));
    var author = R.str(R.get(cc, 'author')), title = R.str(R.get(cc, 'title')), book = R.str(R.get(cc, 'book'));
    var cite = [];
    var work = (author !== '' ? author : '') + (title !== '' ? '《' + title + '》' : '');
    if (work !== '') cite.push(work);
    if (book !== '') cite.push('选自《' + book + '》');
    if (cite.length) s.appendChild(R.el('p', 'source-cite', '—— ' + cite.join(' · ')));
  }, 'wide source');

  var time = R.get(d, 'time');
  R.section(main, '出生时间与地点', function (s) {
    var t = function (k) { return R.get(time, k); };
    var place = R.str(t('csd'));
    var jd = R.num(t('jd')), wd = R.num(t('wd'));
    var coords = '';
    if (place !== '' || jd || wd) {
      if (!isNaN(jd)) coords += (jd < 0 ? '西经' : '东经') + Math.abs(jd).toFixed(2) + '°';
      if (!isNaN(wd)) coords += (coords ? '　' : '') + (wd < 0 ? '南纬' : '北纬') + Math.abs(wd).toFixed(2) + '°';
    }
    var offset = function (sd, fz, ms) {
      var m = R.num(t(fz)), sec = R.num(t(ms));
      if (isNaN(m) && isNaN(sec)) return '';
      return R.str(t(sd)) + (isNaN(m) ? 0 : m) + '分' + (isNaN(sec) ? 0 : sec) + '秒';
    };
    var rows = [
      ['公历', R.str(t('sr'))],
      ['农历', R.str(t('nl'))],
      ['出生地', place],
      ['经纬度', coords]
    ];
    var solar = R.str(t('xsr'));
    if (solar !== '') {
      rows.push(['真太阳时', solar]);
      rows.push(['真太阳时农历', R.str(t('xnl'))]);
      rows.push(['经度时差', offset('bsd', 'bfz', 'bms')]);
      rows.push(['均时差', offset('tsd', 'tfz', 'tms')]);
      rows.push(['合计校正', offset('xsd', 'xfz', 'xms')]);
    } else {
      rows.push(['农历（真太阳时）', R.str(t('xnl'))]);
    }
    var f = R.facts(rows);
    if (!f) return false;
    if (solar !== '') {
      var shift = R.solarShift(t('sr'), solar, offset('xsd', 'xfz', 'xms'));
      if (shift) { var fig = R.el('div', 'figure'); fig.appendChild(shift); s.appendChild(fig); }
    }
    s.appendChild(f);
    if (solar !== '') s.appendChild(R.el('p', 'note', '八字按出生地的真太阳时排定：北京时间按经度时差与均时差校正后得到真太阳时。'));
  });

  R.section(main, '音律与字形', function (s) {
    var items = [['sd', '声调'], ['sm', '声母'], ['ym', '韵母'], ['zx', '字形']];
    var shown = 0;
    for (var i = 0; i < items.length; i++) {
      var v = R.get(score, items[i][0]);
      if (!R.hasText(v)) continue;
      var g = R.splitGrade(v);
      var row = R.el('div', 'graded');
      var head = R.el('h3', null, items[i][1] + '搭配');
      R.append(head, R.gradeTag(g));
      row.appendChild(head);
      R.append(row, R.paragraphs(g.body));
      s.appendChild(row);
      shown++;
    }
    return shown > 0;
  });

  R.characterSection(main, '用字解析', R.get(d, 'hz'), false);
  R.characterSection(main, '生肖用字', R.get(d, 'sx'), true);

  R.section(main, '综合建议', function (s) {
    var jy = R.get(d, 'jy');
    var v = R.anyValue(jy);
    if (!v) return false;
    s.appendChild(v);
  }, 'advice');
}

// The source line with the given name's characters marked: each character
// of the name is marked at its first place after the previous one (the line
// holds them in order); one that is not found in order is marked where it
// first stands unmarked. Built from text nodes and <mark> elements only.
function markedLine(R, text, name) {
  'use strict';
  var chars = Array.from(text);
  var marked = chars.map(function () { return false; });
  var from = 0;
  Array.from(name).forEach(function (c) {
    if (/\s/.test(c)) return;
    var at = chars.indexOf(c, from);
    if (at >= 0) {
      from = at + 1;
    } else {
      at = chars.findIndex(function (x, i) { return x === c && !marked[i]; });
      if (at < 0) return;
    }
    marked[at] = true;
  });
  var line = R.el('p', 'source-line');
  var run = '';
  for (var i = 0; i < chars.length; i++) {
    if (!marked[i]) { run += chars[i]; continue; }
    if (run !== '') R.addText(line, run);
    run = '';
    line.appendChild(R.el('mark', 'name-char', chars[i]));
  }
  if (run !== '') R.addText(line, run);
  return line;
}
