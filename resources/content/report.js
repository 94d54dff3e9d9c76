// Shared helpers of the report pages: reading the page data, putting texts
// into the page (always as text, never as markup) and drawing the small
// inline-SVG pictures. Every page script builds on the global `Report`.
//
// Page data comes from the naming service and the knowledge database, so any
// member may be missing, null or of an unexpected type: every reader here
// answers with an empty value instead of throwing, and every builder leaves
// out what it has nothing to show for.
(function () {
  'use strict';

  var SVG_NS = 'http://www.w3.org/2000/svg';

  // Five elements in their generating order, with the colours the pages use.
  var ELEMENTS = ['木', '火', '土', '金', '水'];
  var ELEMENT_CLASS = { '木': 'wood', '火': 'fire', '土': 'earth', '金': 'metal', '水': 'water' };
  var ELEMENT_COLOUR = { '木': '#3d8b4f', '火': '#cf4a32', '土': '#a8772e', '金': '#b8912a', '水': '#2f6db3' };
  var STEM_ELEMENT = { '甲': '木', '乙': '木', '丙': '火', '丁': '火', '戊': '土', '己': '土', '庚': '金', '辛': '金', '壬': '水', '癸': '水' };
  var BRANCH_ELEMENT = { '子': '水', '亥': '水', '寅': '木', '卯': '木', '巳': '火', '午': '火', '申': '金', '酉': '金',
    '辰': '土', '戌': '土', '丑': '土', '未': '土' };

  // Errors met while building a section; the section is left out and the
  // rest of the page is still shown.
  var errors = [];

  // ---- reading values -------------------------------------------------

  function isObject(v) { return v !== null && typeof v === 'object' && !Array.isArray(v); }

  // Member `key` of an object (or element of an array), or undefined.
  function get(v, key) {
    if (v === null || v === undefined || typeof v !== 'object') return undefined;
    if (Array.isArray(v)) return (typeof key === 'number') ? v[key] : undefined;
    return Object.prototype.hasOwnProperty.call(v, key) ? v[key] : undefined;
  }

  // A path of members: path(d, 'time', 'nl').
  function path(v) {
    for (var i = 1; i < arguments.length; i++) v = get(v, arguments[i]);
    return v;
  }

  // A value read as text: strings as they are, finite numbers in decimal;
  // everything else is the empty text.
  function str(v) {
    if (typeof v === 'string') return v;
    if (typeof v === 'number' && isFinite(v)) return String(v);
    return '';
  }

  // A value read as a number, or NaN.
  function num(v) {
    if (typeof v === 'number') return isFinite(v) ? v : NaN;
    if (typeof v === 'string' && /^\s*-?\d+(\.\d+)?\s*$/.test(v)) return parseFloat(v);
    return NaN;
  }

  function list(v) { return Array.isArray(v) ? v : []; }

  // The page data of the one-JSON-object pages. A text that is not a JSON
  // object gives null; the page then says it has nothing to show.
  function parse(text) {
    if (typeof text !== 'string' || text === '') return null;
    try {
      var v = JSON.parse(text);
      return isObject(v) ? v : null;
    } catch (e) {
      return null;
    }
  }

  // ---- building the page ----------------------------------------------

  // An element with optional class and text content.
  function el(tag, cls, text) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined && text !== null) addText(e, text);
    return e;
  }

  // Appends a text, turning the line breaks it carries ("<br>" from the
  // report data, CR LF or LF from the database) into real <br> elements.
  // Nothing of the text is ever read as markup.
  function addText(parent, text) {
    var s = str(text);
    var lines = s.split(/<br\s*\/?>|\r\n|\n|\r/i);
    for (var i = 0; i < lines.length; i++) {
      if (i > 0) parent.appendChild(document.createElement('br'));
      if (lines[i] !== '') parent.appendChild(document.createTextNode(lines[i]));
    }
    return parent;
  }

  // Paragraphs of a long text: the data's line breaks separate paragraphs.
  function paragraphs(text, cls) {
    var box = el('div', 'prose' + (cls ? ' ' + cls : ''));
    var parts = str(text).split(/<br\s*\/?>|\r\n|\n|\r/i);
    for (var i = 0; i < parts.length; i++) {
      var p = parts[i].replace(/^\s+|\s+$/g, '');
      if (p !== '') box.appendChild(el('p', null, p));
    }
    return box.childNodes.length ? box : null;
  }

  // Paragraphs whose first one starts with a tag (宜/忌, a grade …).
  function taggedParagraphs(tag, text) {
    var box = paragraphs(text);
    if (!tag) return box;
    if (!box) { box = el('div', 'prose'); box.appendChild(el('p')); }
    var first = box.firstChild;
    first.insertBefore(tag, first.firstChild);
    tag.className += ' lead';
    return box;
  }

  function hasText(v) { return str(v).replace(/<br\s*\/?>|\s/gi, '') !== ''; }

  // A text taken from the database or the service that still holds an
  // unfilled "{n}" placeholder of the client's templates is left out.
  function isPlaceholder(v) { return /^\s*\{\d+\}\s*$/.test(str(v)); }

  // A titled section; `build` fills it and may return false to leave it out.
  function section(parent, title, build, cls) {
    var s = el('section', 'card' + (cls ? ' ' + cls : ''));
    if (title) s.appendChild(el('h2', null, title));
    var kept;
    try {
      kept = build(s);
    } catch (e) {
      errors.push(String(e && e.stack ? e.stack : e));
      kept = false;
    }
    if (kept === false) return null;
    parent.appendChild(s);
    return s;
  }

  function append(parent, child) { if (child) parent.appendChild(child); return child; }

  // The page frame: a header with the page title and the main area. Pages of
  // one or two sections ask for `single`: one centred column at every width.
  function page(title, subtitle, single) {
    // The printed document gathers several pages in one: each fills its own
    // part of it (Report.root) instead of the whole body.
    var body = window.Report.root || document.body;
    while (body.firstChild) body.removeChild(body.firstChild);
    var head = el('header', 'page-head');
    head.appendChild(el('h1', null, title));
    if (hasText(subtitle)) head.appendChild(el('p', 'subtitle', subtitle));
    body.appendChild(head);
    var main = el('main', single ? 'single' : null);
    body.appendChild(main);
    return main;
  }

  function empty(main, message) {
    main.appendChild(el('p', 'empty', message || '暂无可显示的内容。'));
  }

  // ---- small marks --------------------------------------------------

  var LUCK_CLASS = { '吉': 'good', '大吉': 'good', '半吉': 'fair', '凶': 'bad', '大凶': 'bad' };

  function luckTag(v) {
    var s = str(v);
    if (s === '') return null;
    return el('span', 'tag luck ' + (LUCK_CLASS[s] || 'plain'), s);
  }

  function elementOf(ch) {
    if (ELEMENT_CLASS[ch]) return ch;
    return STEM_ELEMENT[ch] || BRANCH_ELEMENT[ch] || '';
  }

  function elementTag(e) {
    var s = str(e);
    if (s === '') return null;
    return el('span', 'tag el ' + (ELEMENT_CLASS[s] || 'plain'), s);
  }

  // 宜 / 忌 verdicts lead the zodiac texts ("宜：…", "忌：…").
  function verdictOf(text) {
    var m = /^\s*(宜|忌)[：:]/.exec(str(text));
    return m ? m[1] : '';
  }

  // Splits "字：说明" into the character and its explanation.
  function splitHead(text) {
    var s = str(text);
    var i = s.indexOf('：');
    if (i > 0 && i <= 4) return { head: s.slice(0, i), body: s.slice(i + 1) };
    return { head: '', body: s };
  }

  // The grade word in front of a combination text ("理想。姓名的…").
  var GRADES = { '很理想': 3, '理想': 2, '次理想': 1, '不理想': 0 };
  function splitGrade(text) {
    var s = str(text);
    var m = /^\s*(很理想|次理想|不理想|理想)[。：:，,]\s*/.exec(s);
    if (!m) return { grade: '', level: -1, body: s };
    return { grade: m[1], level: GRADES[m[1]], body: s.slice(m[0].length) };
  }

  function gradeTag(g) {
    if (!g.grade) return null;
    return el('span', 'tag grade g' + g.level, g.grade);
  }

  // A definition list of label/value rows; rows without a value are left out.
  function facts(rows) {
    var dl = el('dl', 'facts');
    for (var i = 0; i < rows.length; i++) {
      var v = rows[i][1];
      if (v === null || v === undefined) continue;
      if (typeof v === 'string' && !hasText(v)) continue;
      dl.appendChild(el('dt', null, rows[i][0]));
      var dd = el('dd');
      if (typeof v === 'string' || typeof v === 'number') addText(dd, v);
      else dd.appendChild(v);
      dl.appendChild(dd);
    }
    return dl.childNodes.length ? dl : null;
  }

  // Any value the service may send in a free shape: texts as paragraphs,
  // numbers as text, arrays and objects member by member.
  function anyValue(v, depth) {
    depth = depth || 0;
    if (typeof v === 'string') return paragraphs(v);
    if (typeof v === 'number' || typeof v === 'boolean') return typeof v === 'number' && !isFinite(v) ? null : el('p', null, String(v));
    if (depth > 3) return null;
    if (Array.isArray(v)) {
      var ul = el('ul', 'plain-list');
      for (var i = 0; i < v.length; i++) {
        var item = anyValue(v[i], depth + 1);
        if (item) { var li = el('li'); li.appendChild(item); ul.appendChild(li); }
      }
      return ul.childNodes.length ? ul : null;
    }
    if (isObject(v)) {
      var rows = [];
      for (var k in v) {
        if (!Object.prototype.hasOwnProperty.call(v, k)) continue;
        var c = anyValue(v[k], depth + 1);
        if (c) rows.push([k, c]);
      }
      return rows.length ? facts(rows) : null;
    }
    return null;
  }

  // A section of "字：说明" texts, one row per character; with `verdicts` the
  // 宜/忌 at the start of an explanation becomes a coloured mark.
  function characterSection(parent, title, items, verdicts) {
    return section(parent, title, function (s) {
      var shown = 0;
      var arr = list(items);
      for (var i = 0; i < arr.length; i++) {
        if (!hasText(arr[i])) continue;
        var h = splitHead(arr[i]);
        var row = el('div', 'char-row');
        row.appendChild(el('div', 'char-big', h.head || '·'));
        var body = el('div', 'char-text');
        var text = h.body, tag = null;
        var v = verdicts ? verdictOf(text) : '';
        if (v) {
          tag = el('span', 'tag verdict ' + (v === '宜' ? 'good' : 'bad'), v);
          text = text.replace(/^\s*(宜|忌)[：:]\s*/, '');
        }
        append(body, taggedParagraphs(tag, text));
        row.appendChild(body);
        s.appendChild(row);
        shown++;
      }
      return shown > 0;
    });
  }

  // ---- pictures (inline SVG) ----------------------------------------

  function svg(tag, attrs, text) {
    var e = document.createElementNS(SVG_NS, tag);
    for (var k in attrs) if (Object.prototype.hasOwnProperty.call(attrs, k)) e.setAttribute(k, String(attrs[k]));
    if (text !== undefined) e.appendChild(document.createTextNode(str(text)));
    return e;
  }

  function svgRoot(w, h, label) {
    var root = svg('svg', { viewBox: '0 0 ' + w + ' ' + h, width: w, height: h, role: 'img', 'class': 'chart' });
    if (label) root.setAttribute('aria-label', label);
    return root;
  }

  function scoreColour(v) {
    if (v >= 85) return '#c0392b';
    if (v >= 70) return '#d9822b';
    if (v >= 55) return '#b59a2a';
    return '#6d7a86';
  }

  // A ring gauge for a score out of `max` (100 by default).
  function ring(value, label, opts) {
    opts = opts || {};
    var max = opts.max || 100;
    var size = opts.size || 96;
    var v = num(value);
    if (isNaN(v)) return null;
    var r = size / 2 - 8, c = size / 2;
    var frac = Math.max(0, Math.min(1, v / max));
    var root = svgRoot(size, size + (label ? 22 : 0), (label ? label + ' ' : '') + str(value));
    root.appendChild(svg('circle', { cx: c, cy: c, r: r, fill: 'none', stroke: '#ece4d8', 'stroke-width': 8 }));
    var len = 2 * Math.PI * r;
    root.appendChild(svg('circle', {
      cx: c, cy: c, r: r, fill: 'none', stroke: opts.colour || scoreColour(v / max * 100), 'stroke-width': 8,
      'stroke-linecap': 'round', 'stroke-dasharray': (len * frac).toFixed(2) + ' ' + len.toFixed(2),
      transform: 'rotate(-90 ' + c + ' ' + c + ')'
    }));
    var shown = opts.text !== undefined ? opts.text : (Math.round(v * 100) / 100).toString();
    var fontSize = Math.round(size * (shown.length > 4 ? 0.2 : 0.26));
    root.appendChild(svg('text', { x: c, y: c + fontSize * 0.36, 'text-anchor': 'middle', 'font-size': fontSize, 'class': 'ring-value' }, shown));
    if (label) root.appendChild(svg('text', { x: c, y: size + 16, 'text-anchor': 'middle', 'font-size': 14, 'class': 'ring-label' }, label));
    return root;
  }

  // Horizontal bars of the five elements: counts = {木: n, ...}. `wanted` is
  // the text of the wanted elements ("金水"); they get a 喜 mark.
  function elementBars(counts, wanted) {
    var rows = [];
    var max = 0, i;
    for (i = 0; i < ELEMENTS.length; i++) {
      var n = num(get(counts, ELEMENTS[i]));
      rows.push(isNaN(n) ? null : n);
      if (!isNaN(n) && n > max) max = n;
    }
    if (rows.every(function (r) { return r === null; })) return null;
    var w = 420, rowH = 34, h = rowH * 5 + 6, barX = 56, barW = 300;
    var want = str(wanted);
    // The picture's text carries what the bars show.
    var spoken = [];
    for (i = 0; i < ELEMENTS.length; i++) {
      if (rows[i] !== null) spoken.push(ELEMENTS[i] + (rows[i] === 0 ? '缺' : rows[i]) + (want.indexOf(ELEMENTS[i]) >= 0 ? '（喜）' : ''));
    }
    var root = svgRoot(w, h, '八字五行分布：' + spoken.join('，'));
    for (i = 0; i < ELEMENTS.length; i++) {
      var e = ELEMENTS[i], y = 4 + i * rowH, colour = ELEMENT_COLOUR[e];
      root.appendChild(svg('circle', { cx: 18, cy: y + 14, r: 14, fill: colour }));
      root.appendChild(svg('text', { x: 18, y: y + 19, 'text-anchor': 'middle', 'font-size': 15, fill: '#fff', 'class': 'strong' }, e));
      root.appendChild(svg('rect', { x: barX, y: y + 6, width: barW, height: 16, rx: 8, fill: '#f1ebe1' }));
      var n2 = rows[i];
      if (n2 !== null && n2 > 0) {
        var bw = Math.max(16, barW * n2 / Math.max(max, 1));
        root.appendChild(svg('rect', { x: barX, y: y + 6, width: bw.toFixed(1), height: 16, rx: 8, fill: colour }));
      }
      root.appendChild(svg('text', { x: barX + barW + 10, y: y + 19, 'font-size': 15, 'class': 'bar-value' },
        n2 === null ? '—' : (n2 === 0 ? '缺' : String(n2))));
      if (want.indexOf(e) >= 0) {
        root.appendChild(svg('rect', { x: barX + barW + 36, y: y + 4, width: 24, height: 20, rx: 4, fill: '#c0392b' }));
        root.appendChild(svg('text', { x: barX + barW + 48, y: y + 19, 'text-anchor': 'middle', 'font-size': 13, fill: '#fff' }, '喜'));
      }
    }
    return root;
  }

  // A trigram image of the hexagram names ("地天泰": 地 above 天; "乾为天":
  // 天 doubled) as the three lines from the bottom up, 1 = solid.
  var TRIGRAM_LINES = { '天': [1, 1, 1], '泽': [1, 1, 0], '火': [1, 0, 1], '雷': [1, 0, 0], '风': [0, 1, 1],
    '水': [0, 1, 0], '山': [0, 0, 1], '地': [0, 0, 0] };

  function hexagramLines(name) {
    var s = str(name);
    var upper, lower;
    if (s.length >= 3 && s.charAt(1) === '为') { upper = lower = TRIGRAM_LINES[s.charAt(2)]; }
    else if (s.length >= 3) { upper = TRIGRAM_LINES[s.charAt(0)]; lower = TRIGRAM_LINES[s.charAt(1)]; }
    if (!upper || !lower) return null;
    return lower.concat(upper);
  }

  function hexagram(name, size) {
    var lines = hexagramLines(name);
    if (!lines) return null;
    size = size || 64;
    var w = size, gap = size / 8, lineH = size / 10, h = 6 * lineH + 5 * gap;
    var root = svgRoot(w, h, str(name));
    root.setAttribute('class', 'chart hexagram');
    for (var i = 0; i < 6; i++) {
      var y = h - (i + 1) * lineH - i * gap;
      if (lines[i]) root.appendChild(svg('rect', { x: 0, y: y, width: w, height: lineH, rx: 1.5, fill: '#3b3024' }));
      else {
        root.appendChild(svg('rect', { x: 0, y: y, width: w * 0.42, height: lineH, rx: 1.5, fill: '#3b3024' }));
        root.appendChild(svg('rect', { x: w * 0.58, y: y, width: w * 0.42, height: lineH, rx: 1.5, fill: '#3b3024' }));
      }
    }
    return root;
  }

  // Three linked circles of the three talents (天 人 地) with their elements.
  function talents(elements) {
    var labels = ['天格', '人格', '地格'];
    var w = 330, h = 108;
    var spoken = [];
    for (var k = 0; k < 3; k++) spoken.push(labels[k] + (elements[k] || '？'));
    var root = svgRoot(w, h, '三才配置：' + spoken.join('，'));
    var xs = [50, 165, 280];
    for (var i = 0; i < 3; i++) {
      var e = elements[i] || '', colour = ELEMENT_COLOUR[e] || '#9a8f80';
      if (i < 2) {
        root.appendChild(svg('line', { x1: xs[i] + 34, y1: 44, x2: xs[i + 1] - 40, y2: 44, stroke: '#b9ab96', 'stroke-width': 2 }));
        root.appendChild(svg('path', { d: 'M' + (xs[i + 1] - 40) + ' 38 l8 6 l-8 6 z', fill: '#b9ab96' }));
      }
      root.appendChild(svg('circle', { cx: xs[i], cy: 44, r: 32, fill: colour }));
      root.appendChild(svg('text', { x: xs[i], y: 54, 'text-anchor': 'middle', 'font-size': 28, fill: '#fff', 'class': 'strong' }, e || '？'));
      root.appendChild(svg('text', { x: xs[i], y: 100, 'text-anchor': 'middle', 'font-size': 14, 'class': 'ring-label' }, labels[i]));
    }
    return root;
  }

  // Where a bone weight (in 钱, 21 = 二两一钱 … 72 = 七两二钱) lies between the
  // lightest and the heaviest.
  function weightScale(qian) {
    var v = num(qian);
    if (isNaN(v)) return null;
    var lo = 21, hi = 72, w = 360, h = 58, x0 = 20, x1 = w - 20;
    var t = Math.max(0, Math.min(1, (v - lo) / (hi - lo)));
    var weight = chineseDigit(Math.floor(v / 10)) + '两' + chineseDigit(Math.round(v) % 10) + '钱';
    var root = svgRoot(w, h, '骨重位置：' + weight + '，在二两一钱与七两二钱之间');
    root.appendChild(svg('rect', { x: x0, y: 22, width: x1 - x0, height: 8, rx: 4, fill: '#efe3d3' }));
    root.appendChild(svg('rect', { x: x0, y: 22, width: ((x1 - x0) * t).toFixed(1), height: 8, rx: 4, fill: '#c4573c' }));
    var x = x0 + (x1 - x0) * t;
    root.appendChild(svg('circle', { cx: x.toFixed(1), cy: 26, r: 8, fill: '#fff', stroke: '#a8392a', 'stroke-width': 3 }));
    root.appendChild(svg('text', { x: x0, y: 50, 'font-size': 12, 'class': 'ring-label' }, '二两一钱 · 轻'));
    root.appendChild(svg('text', { x: x1, y: 50, 'font-size': 12, 'text-anchor': 'end', 'class': 'ring-label' }, '重 · 七两二钱'));
    return root;
  }

  // Birth time on the clock and in true solar time, with the correction
  // between them: "2024-3-15 09:05:00" → "2024-3-15 08:41:45", "慢23分15秒".
  function solarShift(clock, solar, correction) {
    var timeOf = function (t) { var m = /(\d{1,2}:\d{2}(?::\d{2})?)\s*$/.exec(str(t)); return m ? m[1] : ''; };
    var a = timeOf(clock), b = timeOf(solar);
    if (a === '' || b === '') return null;
    var w = 420, h = 74;
    var root = svgRoot(w, h, '北京时间' + a + '，真太阳时' + b + (str(correction) !== '' ? '，' + str(correction) : ''));
    var box = function (x, label, value, fill) {
      root.appendChild(svg('rect', { x: x, y: 6, width: 130, height: 50, rx: 8, fill: fill, stroke: '#e3d3bd' }));
      root.appendChild(svg('text', { x: x + 65, y: 25, 'text-anchor': 'middle', 'font-size': 12, 'class': 'ring-label' }, label));
      root.appendChild(svg('text', { x: x + 65, y: 47, 'text-anchor': 'middle', 'font-size': 18, 'class': 'ring-value' }, value));
    };
    box(10, '北京时间', a, '#fffdf9');
    box(280, '真太阳时', b, '#fbefe6');
    root.appendChild(svg('line', { x1: 148, y1: 31, x2: 268, y2: 31, stroke: '#c4573c', 'stroke-width': 2 }));
    root.appendChild(svg('path', { d: 'M268 25 l10 6 l-10 6 z', fill: '#c4573c' }));
    if (str(correction) !== '') root.appendChild(svg('text', { x: 210, y: 22, 'text-anchor': 'middle', 'font-size': 13, fill: '#8c2f20' }, correction));
    return root;
  }

  // A small square of a colour, with a thin border so white shows too.
  function swatch(colour) {
    var root = svgRoot(22, 22, null);
    root.setAttribute('aria-hidden', 'true');  // the colour's name follows it
    root.appendChild(svg('rect', { x: 1, y: 1, width: 20, height: 20, rx: 4, fill: colour, stroke: '#cbbba5' }));
    return root;
  }

  function chineseDigit(n) {
    var d = ['〇', '一', '二', '三', '四', '五', '六', '七', '八', '九', '十'];
    return (n >= 0 && n <= 10 && Math.floor(n) === n) ? d[n] : String(n);
  }

  window.Report = {
    ELEMENTS: ELEMENTS,
    ELEMENT_CLASS: ELEMENT_CLASS,
    ELEMENT_COLOUR: ELEMENT_COLOUR,
    errors: errors,
    // The arguments of the last SetData call, as the page received them.
    received: [],
    // Where page() builds the page; the body unless a printed document says otherwise.
    root: null,
    isObject: isObject,
    get: get,
    path: path,
    str: str,
    num: num,
    list: list,
    parse: parse,
    el: el,
    addText: addText,
    paragraphs: paragraphs,
    taggedParagraphs: taggedParagraphs,
    hasText: hasText,
    isPlaceholder: isPlaceholder,
    section: section,
    append: append,
    page: page,
    empty: empty,
    luckTag: luckTag,
    elementOf: elementOf,
    elementTag: elementTag,
    verdictOf: verdictOf,
    splitHead: splitHead,
    splitGrade: splitGrade,
    gradeTag: gradeTag,
    facts: facts,
    characterSection: characterSection,
    anyValue: anyValue,
    ring: ring,
    elementBars: elementBars,
    hexagram: hexagram,
    talents: talents,
    weightScale: weightScale,
    swatch: swatch,
    solarShift: solarShift,
    chineseDigit: chineseDigit
  };
})();
