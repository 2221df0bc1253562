// Pinwa's page for phones and browsers: one seat in the room through the host's
// gateway. Every text from the room is shown with textContent, never as HTML.
'use strict';

const TITLE = 'Pinwa 聊天室';
const TOKEN_KEY = 'pinwa.token';
const NICK_KEY = 'pinwa.nickname';
const PICTURES_KEY = 'pinwa.pictures';
const TO_KEY = 'pinwa.addressee';
const RETRY_MS = [1000, 2000, 4000, 5000];

const $ = (id) => document.getElementById(id);
const ui = {
  joinForm: $('joinForm'), joinText: $('joinText'), nc1: $('nc1'), join: $('SpeedButton1'),
  chat: $('chat'), leave: $('leave'), log: $('Memo1'), list: $('list1'), pep: $('pep'),
  heshe: $('heshe'), input: $('Edit5'), send: $('SpeedButton3'), whisper: $('whisperButton'),
  usersToggle: $('usersToggle'), tabs: $('tabs'), roomTab: $('roomTab'), room: $('room'),
  panels: $('panels'), notice: $('notice'), noticeText: $('noticeText'),
  noticeOk: $('noticeOk'), status: $('ts'),
};

let ws = null;
let nickname = sessionStorage.getItem(NICK_KEY) || '';
// The nickname last chosen in list1, kept across roster changes and reloads.
let addressee = sessionStorage.getItem(TO_KEY) || '';
let wanted = null;       // what to send once the socket opens: a join or a resume
let retries = 0;
let retryTimer = 0;
let unread = 0;
// The number of the last numbered frame shown, so a resume asks only for what was missed.
let lastSeen = 0;
// The input and text of the last send, so a refusal can give the text back.
let lastSent = null;

// ---- connection ----------------------------------------------------------

function connect() {
  clearTimeout(retryTimer);
  if (ws) { ws.onclose = null; ws.close(); }
  setStatus('正在连接到服务器...');
  const socket = new WebSocket('ws://' + location.host + '/ws');
  ws = socket;
  socket.onopen = () => {
    retries = 0;
    setStatus('连接到服务器!');
    if (wanted) send(wanted);
  };
  socket.onmessage = (e) => {
    let m;
    try { m = JSON.parse(e.data); } catch (_) { return; }
    if (!m || typeof m.type !== 'string' || !handlers[m.type]) return;
    if (typeof m.n === 'number') {
      if (m.n <= lastSeen) return; // already shown before the drop
      lastSeen = m.n;
    }
    handlers[m.type](m);
  };
  socket.onclose = (e) => {
    if (ws !== socket) return;
    ws = null;
    // 1001 is the host ending the room: no seat is kept to come back to.
    if (e.code === 1001) forgetSeat();
    const token = sessionStorage.getItem(TOKEN_KEY);
    if (!token) { // nothing to keep: the room ended or we never got a seat
      if (!ui.chat.hidden) showJoin(e.reason || '连接断开!');
      setStatus('连接断开!');
      return;
    }
    // The seat is kept for a while after a drop: come back for it.
    wanted = { type: 'resume', token, n: lastSeen };
    setStatus('连接断开!');
    retryTimer = setTimeout(connect, RETRY_MS[Math.min(retries++, RETRY_MS.length - 1)]);
  };
}

function send(message) {
  if (ws && ws.readyState === WebSocket.OPEN) {
    ws.send(JSON.stringify(message));
    return true;
  }
  return false;
}

// Sends now, or opens the socket and sends it then.
function request(message) {
  wanted = message;
  if (!send(message) && !(ws && ws.readyState === WebSocket.CONNECTING)) connect();
}

// ---- what the gateway says -----------------------------------------------

const handlers = {
  token(m) { sessionStorage.setItem(TOKEN_KEY, m.token); wanted = null; },
  resumed() { wanted = null; setStatus('连接成功!'); showChat(); resumeUploads(); },
  expired() {
    forgetSeat();
    showJoin('与服务器断开连接,请重新连接!');
  },
  status(m) { setStatus(m.text); },
  notice(m) { showNotice(m.text); },
  session(m) {
    nickname = m.nickname;
    sessionStorage.setItem(NICK_KEY, nickname);
    if (Number.isFinite(m.pictures) && m.pictures >= 0) {
      pictureMost = m.pictures;
      sessionStorage.setItem(PICTURES_KEY, String(m.pictures));
    }
    showChat();
  },
  line(m) { appendLine(ui.log, m); countUnread(m.kind); },
  // What the room said before this seat came, in pieces, ahead of its welcome.
  history(m) {
    for (const l of Array.isArray(m.lines) ? m.lines : []) {
      if (l.date !== historyDay) {
        historyDay = l.date;
        appendSeparator(ui.log, l.date);
      }
      appendLine(ui.log, l, true);
    }
    if (!m.more && historyDay) appendSeparator(ui.log, '以上是以前的聊天记录');
    if (!m.more) historyDay = '';
  },
  users(m) { showUsers(m.nicknames || [], m.count); },
  whisperOpen(m) {
    if (!m.peer) return;
    const t = thread(m.peer, m.name);
    if (m.focus) selectTab(t);
  },
  whisperName(m) { if (m.peer) thread(m.peer, m.name); },
  whisper(m) {
    const t = thread(m.peer);
    appendLine(t.log, m);
    if (m.kind !== 'own' && t.panel.hidden) t.tab.classList.add('unread');
    countUnread(m.kind);
  },
  ended(m) {
    forgetSeat();
    showJoin(m.text);
  },
  fileReady(m) { uploadReady(m); },
  fileHave(m) { uploadHave(m); },
  fileDone(m) { uploadDone(m); },
  fileRefused(m) { uploadRefused(m); },
  fileCancelled() {},
  cannotSend(m) {
    const input = m.request === 'join' ? ui.nc1
      : m.request === 'whisper' ? thread(m.peer).input : ui.input;
    input.value = m.text;
    lastSent = null;
    showUnsendable(input, m.chars || []);
  },
  refused(m) {
    // Nothing was sent: the text goes back where it was typed.
    if (lastSent && !lastSent.input.value) lastSent.input.value = lastSent.text;
    lastSent = null;
    showNotice(m.text);
  },
};

function forgetSeat() {
  sessionStorage.removeItem(TOKEN_KEY);
  wanted = null;
  clearTimeout(retryTimer);
}

// ---- views ---------------------------------------------------------------

function setStatus(text) { ui.status.textContent = text; }

function showJoin(text) {
  ui.chat.hidden = true;
  ui.leave.hidden = true;
  ui.joinForm.hidden = false;
  ui.joinText.textContent = text || '';
  ui.nc1.value = ui.nc1.value || nickname;
  ui.nc1.focus();
}

function showChat() {
  const entering = ui.chat.hidden;
  ui.joinForm.hidden = true;
  ui.chat.hidden = false;
  ui.leave.hidden = false;
  if (entering) ui.input.focus();
}

// A new seat starts with an empty room: no lines or threads from the last one.
function clearChat() {
  ui.log.replaceChildren();
  for (const t of threads.values()) { t.panel.remove(); t.tab.remove(); }
  threads.clear();
  addressee = '';
  sessionStorage.removeItem(TO_KEY);
  ui.heshe.textContent = '';
  selectTab(null);
}

function showNotice(text) {
  // Several notices in a row all stay readable until dismissed.
  const p = document.createElement('p');
  p.textContent = text;
  ui.noticeText.appendChild(p);
  ui.notice.hidden = false;
  ui.noticeOk.focus();
}

function dismissNotice() {
  ui.notice.hidden = true;
  ui.noticeText.replaceChildren();
  focusInput();
}

// Earlier lines come dated; the date goes above the first of each day.
let historyDay = '';

function appendSeparator(log, text) {
  const row = document.createElement('div');
  row.className = 'separator';
  row.setAttribute('role', 'separator');
  row.textContent = text;
  log.appendChild(row);
}

function appendLine(log, m, earlier = false) {
  const atEnd = log.scrollHeight - log.scrollTop - log.clientHeight < 40;
  const row = document.createElement('div');
  row.className = 'line ' + (['own', 'toMe', 'notice'].includes(m.kind) ? m.kind : 'other');
  if (earlier) row.classList.add('earlier');
  const time = document.createElement('time');
  time.textContent = m.time || '';
  const text = document.createElement('span');
  text.className = 'text';
  // A file offered before this seat came may be gone: its line stays plain text.
  const offer = earlier ? null : findOffer(m.text || '');
  if (offer) {
    text.textContent = m.text.slice(0, offer.at);
    text.appendChild(fileEntry(offer));
  } else {
    text.textContent = m.text;
  }
  row.append(time, ' ', text);
  log.appendChild(row);
  if (atEnd) log.scrollTop = log.scrollHeight;
}

function showUsers(names, count) {
  const items = names.map((name) => {
    const li = document.createElement('li');
    const b = document.createElement('button');
    b.type = 'button';
    b.textContent = name;
    b.dataset.nickname = name;
    if (name === nickname) b.classList.add('me');
    if (name === addressee) b.setAttribute('aria-pressed', 'true');
    b.addEventListener('click', () => choose(name));
    li.appendChild(b);
    return li;
  });
  ui.list.replaceChildren(...items);
  ui.pep.textContent = String(count ?? names.length);
  }

function choose(name) {
  addressee = name;
  sessionStorage.setItem(TO_KEY, name);
  ui.heshe.textContent = name;
  for (const b of ui.list.querySelectorAll('button')) {
    b.setAttribute('aria-pressed', String(b.dataset.nickname === name));
  }
  toggleUsers(false);
  ui.input.focus();
}

function toggleUsers(open) {
  ui.room.classList.toggle('usersOpen', open);
  ui.usersToggle.setAttribute('aria-expanded', String(open));
}

function countUnread(kind) {
  if (!document.hidden || kind === 'own') return;
  unread++;
  document.title = '(' + unread + ') ' + TITLE;
}

document.addEventListener('visibilitychange', () => {
  if (document.hidden) return;
  unread = 0;
  document.title = TITLE;
});

// ---- whisper threads -----------------------------------------------------

const threads = new Map(); // seat field -> { panel, tab, log, input }

// The thread for a seat field, made when first needed; a name renames it.
function thread(seat, name) {
  let t = threads.get(seat);
  if (!t) {
    const panel = document.getElementById('whisperTemplate').content.firstElementChild.cloneNode(true);
    const tab = document.createElement('button');
    tab.type = 'button';
    tab.setAttribute('role', 'tab');
    const id = 'w' + String(seat).replace(/[^0-9A-Za-z]/g, '_');
    tab.id = id + 'Tab';
    panel.id = id;
    tab.setAttribute('aria-controls', id);
    panel.setAttribute('aria-labelledby', tab.id);
    panel.dataset.seat = seat;
    panel.hidden = true;
    t = { panel, tab, log: panel.querySelector('.Memo1'), input: panel.querySelector('.Edit1') };
    t.input.id = id + 'Input';
    panel.querySelector('label').htmlFor = t.input.id;
    t.log.setAttribute('aria-label', '悄悄话记录');
    tab.addEventListener('click', () => selectTab(t));
    panel.querySelector('.send').addEventListener('click', () => sendWhisper(t));
    const picker = panel.querySelector('.sendFile');
    picker.id = id + 'File';
    picker.addEventListener('change', () => { offerFiles(picker.files, { peer: seat }); picker.value = ''; });
    const pictures = panel.querySelector('.sendImage');
    pictures.id = id + 'Image';
    pictures.addEventListener('change', () => { offerFiles(pictures.files, { peer: seat }, true); pictures.value = ''; });
    wireInput(t.input, () => sendWhisper(t));
    ui.tabs.appendChild(tab);
    ui.panels.appendChild(panel);
    threads.set(seat, t);
  }
  // The name often follows the thread (it is asked of the host): the seat stands in till then.
  if (name || !t.panel.dataset.peer) {
    const shown = name || seat;
    t.panel.dataset.peer = shown;
    t.tab.textContent = shown;
    t.panel.querySelector('.whisperTitle').textContent = '聊天对象: ' + shown;
  }
  return t;
}

function selectTab(t) {
  ui.room.hidden = t !== null;
  ui.roomTab.setAttribute('aria-selected', String(t === null));
  for (const other of threads.values()) {
    other.panel.hidden = other !== t;
    other.tab.setAttribute('aria-selected', String(other === t));
  }
  if (t) t.tab.classList.remove('unread');
  focusInput();
}

function focusInput() {
  const open = [...threads.values()].find((t) => !t.panel.hidden);
  (open ? open.input : ui.input).focus({ preventScroll: true });
}

// ---- sending -------------------------------------------------------------

// What is typed goes out as one line: breaks become spaces, as on the desktop.
function oneLine(text) { return text.replace(/\r\n|[\r\n]/g, ' '); }

function takeText(input) {
  const text = oneLine(input.value);
  if (!text) return null;
  input.value = '';
  showUnsendable(input, []);
  lastSent = { input, text };
  return text;
}

// GB2312 bytes of a line, as the host counts them (characters it lacks are refused anyway).
function gbBytes(text) {
  let n = 0;
  for (const c of text) n += c.codePointAt(0) < 0x80 ? 1 : 2;
  return n;
}

// The host drops a line this long: say so before it goes, and keep the text.
function tooLong(line) {
  if (gbBytes(line) <= 8192) return false;
  showNotice('发言太长了,请分几次发送!');
  return true;
}

function sendTalk() {
  if (!ui.input.value) return;
  if (!addressee) { showNotice('请选择说话对象!'); return; }
  const said = addressee === nickname ? ' 自言自语地说道: ' : ' 对 ' + addressee + ' 说: ';
  if (tooLong(nickname + said + oneLine(ui.input.value) + '\r')) return;
  const text = takeText(ui.input);
  if (!send({ type: 'talk', to: addressee, text })) { ui.input.value = text; showNotice('连接断开!'); }
}

function sendWhisper(t) {
  if (!t.input.value) return;
  if (tooLong(nickname + ' 说: ' + oneLine(t.input.value))) return;
  const text = takeText(t.input);
  if (!send({ type: 'whisper', peer: t.panel.dataset.seat, text })) {
    t.input.value = text;
    showNotice('连接断开!');
  }
}

function openWhisper() {
  if (!addressee) { showNotice('请选择聊天对象!'); return; }
  if (addressee === nickname) { showNotice('为什么要跟自己说悄悄话呢!?'); return; }
  send({ type: 'openWhisper', nickname: addressee });
}

// The characters GB2312 lacks, marked under the input that holds them.
function showUnsendable(input, chars) {
  const note = input.parentElement.querySelector('.unsendable');
  note.replaceChildren();
  note.hidden = chars.length === 0;
  if (note.hidden) return;
  note.append('这些字发不出去: ');
  for (const c of chars) {
    const mark = document.createElement('mark');
    mark.textContent = c;
    note.append(mark, ' ');
  }
  input.setAttribute('aria-describedby', note.id || (note.id = input.id + 'Unsendable'));
  input.focus();
}

function wireInput(input, onEnter) {
  input.addEventListener('keydown', (e) => {
    // Enter that ends an input-method composition picks characters, it does not send.
    if (e.key === 'Enter' && !e.isComposing && e.keyCode !== 229) {
      e.preventDefault();
      onEnter();
    }
  });
  // A pasted break would otherwise vanish and glue two words together.
  input.addEventListener('paste', (e) => {
    const text = e.clipboardData && e.clipboardData.getData('text');
    if (!text || !/[\r\n]/.test(text)) return;
    e.preventDefault();
    input.setRangeText(oneLine(text), input.selectionStart, input.selectionEnd, 'end');
  });
}

// ---- files ---------------------------------------------------------------

// An offer line as the host writes it; only its token and name are taken, and the
// link always points back at this page's own host.
const OFFER = /\[(文件|图片)\] (.+) \((\d+(?:\.\d)? (?:B|KB|MB|GB|TB))\) https?:\/\/[0-9A-Za-z.\-\[\]:]+\/f\/([0-9a-f]{32})\/([^\s\/]+)\s*$/;
// Pictures up to this size show inline; larger ones stay a file to download. The host
// says its own limit when a seat is taken; a page reloaded in its session keeps it.
const keptMost = sessionStorage.getItem(PICTURES_KEY);
let pictureMost = keptMost === null ? 10 << 20 : Number(keptMost);
const UNITS = { B: 1, KB: 1 << 10, MB: 1 << 20, GB: 1 << 30, TB: 2 ** 40 };

function findOffer(text) {
  const m = OFFER.exec(text);
  if (!m) return null;
  let name = m[5];
  try { name = decodeURIComponent(name); } catch (_) { /* kept as written */ }
  return { at: m.index, picture: m[1] === '图片', shown: m[2], size: m[3], token: m[4], name };
}

function fileEntry(offer) {
  const box = document.createElement('span');
  box.className = 'fileEntry';
  const name = document.createElement('span');
  name.className = 'name';
  name.textContent = offer.shown;
  const size = document.createElement('span');
  size.className = 'size';
  size.textContent = offer.size;
  const link = document.createElement('a');
  link.href = '/f/' + offer.token + '/' + encodeURIComponent(offer.name);
  link.download = offer.name;
  link.textContent = '下载';
  box.append(offer.picture ? '[图片] ' : '[文件] ', name, ' ', size, ' ', link);
  const [count, unit] = offer.size.split(' ');
  if (offer.picture && parseFloat(count) * UNITS[unit] <= pictureMost) box.append(picture(offer, link.href));
  return box;
}

// A picture from this page's own host, never from an address in the line; one that
// does not decode leaves the file entry as it is.
function picture(offer, href) {
  const row = document.createElement('span');
  row.className = 'pictureRow';
  const img = document.createElement('img');
  img.className = 'picture';
  img.alt = offer.name;
  img.loading = 'lazy';
  img.tabIndex = 0;
  img.addEventListener('error', () => row.remove());
  const whole = () => { if (img.requestFullscreen) img.requestFullscreen().catch(() => {}); };
  img.addEventListener('click', whole);
  img.addEventListener('keydown', (e) => {
    if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); whole(); }
  });
  img.src = href;
  row.append(img);
  return row;
}

// What may be sent ahead of the host's word on how much it has, and one frame's worth.
const UPLOAD_WINDOW = 4 << 20;
const UPLOAD_CHUNK = 65536 - 40;
const uploads = new Map();  // token -> upload
const offering = new Map(); // id -> upload, until the host gives it a token
let nextUploadId = 1;

function offerFiles(files, where, pictures) {
  if (!where.peer && !addressee) { showNotice('请选择说话对象!'); return; }
  for (const file of files) {
    const u = { id: nextUploadId++, file, sent: 0, acked: 0, token: '', busy: false, row: null };
    u.row = transferRow(u);
    offering.set(u.id, u);
    if (!send(Object.assign({ type: 'fileOffer', id: u.id, name: file.name, size: file.size },
      pictures ? { picture: true } : {}, where.peer ? { peer: where.peer } : { to: addressee }))) {
      showTransfer(u, '连接断开!', true);
    }
  }
}

function transferRow(u) {
  const li = document.createElement('li');
  const name = document.createElement('span');
  name.className = 'name';
  name.textContent = u.file.name;
  const bar = document.createElement('progress');
  bar.max = u.file.size || 1;
  bar.value = 0;
  const state = document.createElement('span');
  state.className = 'state';
  state.textContent = '等待主机...';
  const cancel = document.createElement('button');
  cancel.type = 'button';
  cancel.textContent = '取消';
  cancel.addEventListener('click', () => cancelUpload(u));
  li.append(name, bar, state, cancel);
  $('transfers').appendChild(li);
  $('transfers').hidden = false;
  return { li, bar, state, cancel };
}

function showTransfer(u, text, bad) {
  u.row.state.textContent = text;
  u.row.state.classList.toggle('bad', !!bad);
}

function frameHeader(token, offset) {
  const header = new Uint8Array(40);
  for (let i = 0; i < 32; i++) header[i] = token.charCodeAt(i);
  new DataView(header.buffer).setBigUint64(32, BigInt(offset));
  return header;
}

async function pump(u) {
  if (u.busy) return;
  u.busy = true;
  try {
    while (u.token && uploads.has(u.token) && u.sent < u.file.size &&
           u.sent - u.acked < UPLOAD_WINDOW && ws && ws.readyState === WebSocket.OPEN) {
      const end = Math.min(u.sent + UPLOAD_CHUNK, u.file.size);
      const data = new Uint8Array(await u.file.slice(u.sent, end).arrayBuffer());
      if (!ws || ws.readyState !== WebSocket.OPEN || !uploads.has(u.token)) break;
      const frame = new Uint8Array(40 + data.length);
      frame.set(frameHeader(u.token, u.sent));
      frame.set(data, 40);
      ws.send(frame);
      u.sent = end;
    }
  } catch (e) {
    showTransfer(u, '读不了这个文件: ' + e, true);
    uploads.delete(u.token);
  }
  u.busy = false;
}

function progress(u, have) {
  u.acked = Math.max(u.acked, have);
  u.row.bar.value = have;
  const percent = u.file.size ? Math.floor(have * 100 / u.file.size) : 100;
  showTransfer(u, percent + '%');
}

function uploadReady(m) {
  let u = uploads.get(m.token);
  if (!u) {
    u = offering.get(m.id);
    if (!u) return;
    offering.delete(m.id);
    u.token = m.token;
    uploads.set(m.token, u);
  }
  u.sent = u.acked = m.have;
  progress(u, m.have);
  pump(u);
}

function uploadHave(m) {
  const u = uploads.get(m.token);
  if (!u) return;
  progress(u, m.have);
  pump(u);
}

function uploadDone(m) {
  const u = uploads.get(m.token) || offering.get(m.id);
  if (!u) return;
  uploads.delete(m.token);
  offering.delete(m.id);
  u.row.bar.value = u.row.bar.max;
  showTransfer(u, '发送完毕');
  u.row.cancel.hidden = true;
}

function uploadRefused(m) {
  const u = (m.token && uploads.get(m.token)) || offering.get(m.id);
  if (!u) return;
  offering.delete(m.id);
  showTransfer(u, m.text, true);
  // A file the host has not dropped (its disk was full) can go on from where it stands.
  if (typeof m.have !== 'number') { uploads.delete(u.token); return; }
  const again = document.createElement('button');
  again.type = 'button';
  again.textContent = '继续';
  again.addEventListener('click', () => {
    again.remove();
    showTransfer(u, '等待主机...');
    send({ type: 'fileResume', token: u.token });
  });
  u.row.cancel.before(again);
}

function cancelUpload(u) {
  if (u.token) send({ type: 'fileCancel', token: u.token });
  uploads.delete(u.token);
  offering.delete(u.id);
  u.row.li.remove();
  if (!$('transfers').children.length) $('transfers').hidden = true;
}

// After a dropped connection: ask where each file stands and go on from there.
function resumeUploads() {
  for (const u of uploads.values()) {
    if (u.sent < u.file.size || u.acked < u.file.size) send({ type: 'fileResume', token: u.token });
  }
}

// ---- start ---------------------------------------------------------------

ui.joinForm.addEventListener('submit', (e) => {
  e.preventDefault();
  const name = ui.nc1.value;
  if (!name) { showNotice('昵称不能为空!'); return; }
  forgetSeat();
  showUnsendable(ui.nc1, []);
  lastSeen = 0; // a new seat numbers its frames anew
  nickname = name;
  ui.joinText.textContent = '';
  clearChat();
  request({ type: 'join', nickname: name });
});

ui.leave.addEventListener('click', () => {
  send({ type: 'leave' });
  forgetSeat();
  // The leave frame still goes out first: a close waits for what was sent.
  if (ws) { ws.onclose = null; ws.close(); ws = null; }
  setStatus('');
  showJoin('');
});

ui.send.addEventListener('click', sendTalk);
$('sendFile').addEventListener('change', (e) => { offerFiles(e.target.files, {}); e.target.value = ''; });
$('sendImage').addEventListener('change', (e) => { offerFiles(e.target.files, {}, true); e.target.value = ''; });
wireInput(ui.input, sendTalk);
ui.whisper.addEventListener('click', openWhisper);
ui.roomTab.addEventListener('click', () => selectTab(null));
ui.usersToggle.addEventListener('click', () => toggleUsers(!ui.room.classList.contains('usersOpen')));
ui.noticeOk.addEventListener('click', dismissNotice);
document.addEventListener('keydown', (e) => {
  if (e.key === 'Escape' && !ui.notice.hidden) dismissNotice();
});

// Phones: keep the whole page, and so the input bar, inside what the keyboard leaves.
if (window.visualViewport) {
  const fit = () => {
    const vv = window.visualViewport;
    // A pinch zoom also shrinks the visual viewport; only the keyboard should.
    if (Math.abs(vv.scale - 1) > 0.01) return;
    const app = $('app');
    app.style.height = vv.height + 'px';
    app.style.transform = 'translateY(' + vv.offsetTop + 'px)';
  };
  window.visualViewport.addEventListener('resize', fit);
  window.visualViewport.addEventListener('scroll', fit);
  fit();
}

// A reload inside the same tab takes the seat back, and with n 0 all that the
// gateway kept of it, since the reloaded page has none of it.
const savedToken = sessionStorage.getItem(TOKEN_KEY);
if (savedToken) {
  ui.heshe.textContent = addressee;
  wanted = { type: 'resume', token: savedToken, n: 0 };
  connect();
} else {
  showJoin('');
}
