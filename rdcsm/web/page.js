// The status page's live cells: every second the page's runs (or its run)
// are fetched from the API and their cells filled with the texts the server
// gives ("shown"), so that they read as the server drew them. Text goes in
// through textContent only. After each update body.dataset.updates counts
// the updates so far.
'use strict';

(function () {
  const body = document.body;
  const cells = ['outcome', 'started', 'duration', 'records', 'rate', 'percent', 'left'];
  let updates = 0;

  function cell(row, name) {
    return row.querySelector('td.' + name);
  }

  // Fills a row's live cells and state from a run object of the API.
  function fill(row, run) {
    row.dataset.state = run.state;
    row.dataset.outcome = run.outcome;
    for (const name of cells) {
      const td = cell(row, name);
      if (td && td.textContent !== run.shown[name]) td.textContent = run.shown[name];
    }
  }

  function link(href, text) {
    const a = document.createElement('a');
    a.href = href;
    a.textContent = text;
    return a;
  }

  // A row for a run the page did not show yet.
  function newRow(run) {
    const row = document.createElement('tr');
    row.dataset.run = String(run.run);
    const add = function (name, content) {
      const td = document.createElement('td');
      td.className = name;
      if (content) td.appendChild(content);
      row.appendChild(td);
    };
    add('run', link('/runs/' + run.run, String(run.run)));
    add('activity', link('/activities/' + encodeURIComponent(run.activity), run.activity));
    for (const name of cells) add(name, null);
    return row;
  }

  function updateRuns(answer) {
    const tbody = document.querySelector('#runs tbody');
    if (!tbody) return;
    const rows = new Map();
    for (const row of tbody.querySelectorAll('tr[data-run]')) rows.set(row.dataset.run, row);
    let before = tbody.firstChild;
    for (const run of answer.runs) {
      let row = rows.get(String(run.run));
      if (!row) row = newRow(run);
      fill(row, run);
      if (row !== before) tbody.insertBefore(row, before);
      before = row.nextSibling;
      rows.delete(String(run.run));
    }
    for (const row of rows.values()) row.remove();
  }

  function updateRun(answer) {
    const live = document.getElementById('live');
    if (live) {
      live.dataset.state = answer.run.state;
      live.dataset.outcome = answer.run.outcome;
      const row = live.querySelector('tr[data-run]');
      if (row) fill(row, answer.run);
    }
    const line = document.getElementById('throughput-line');
    if (line) line.setAttribute('points', answer.throughput.points);
    const peak = document.querySelector('#throughput text');
    if (peak) peak.textContent = answer.throughput.peak_text;
    const summary = document.getElementById('throughput-summary');
    if (summary) summary.textContent = answer.throughput.summary;
  }

  function source() {
    if (body.dataset.page === 'runs') return '/api/runs' + window.location.search;
    if (body.dataset.page === 'run') return '/api/runs/' + encodeURIComponent(body.dataset.run);
    return null;
  }

  async function update() {
    const url = source();
    if (!url) return;
    try {
      const response = await fetch(url, { credentials: 'same-origin', cache: 'no-store' });
      if (!response.ok) return;
      const answer = await response.json();
      if (body.dataset.page === 'runs') updateRuns(answer);
      else updateRun(answer);
      updates += 1;
      body.dataset.updates = String(updates);
    } catch (error) {
      // The server may be gone for a moment: the next second tries again.
    }
  }

  function tick() {
    update().finally(function () {
      window.setTimeout(tick, 1000);
    });
  }

  if (source()) tick();
})();
