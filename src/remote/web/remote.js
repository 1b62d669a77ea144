// The phone remote's page: pairs with the PIN, builds its controls from the server's control table
// and follows the processor through the event stream. No inline script or style anywhere: the server
// allows nothing but its own files.
'use strict';

(function () {
  const TOKEN_KEY = 'orvex.remote.token';
  const LANG_KEY = 'orvex.remote.lang';
  // A slider being dragged sends at most one value in this many milliseconds, and the last one on release.
  const SEND_PERIOD_MS = 100;
  // After release the thumb stays where the finger left it this long, so that the echoes of the values
  // sent while dragging cannot pull it back.
  const SETTLE_MS = 700;
  const RETRY_MS = 2000;
  // A call the server has not answered by then counts as lost, so that a slider's next value is not
  // held up behind it.
  const CALL_TIMEOUT_MS = 5000;

  const TEXTS = {
    en: {
      title: 'Orvex remote',
      pinLabel: 'Enter the PIN the server shows',
      pair: 'Pair',
      wrongPin: 'Wrong PIN. Try again.',
      locked: 'Too many wrong PINs: wait a minute, then try again.',
      pinFormat: 'The PIN has six digits.',
      pairAgain: 'The server no longer knows this phone: enter the PIN again.',
      unreachable: 'Cannot reach the server.',
      serverLost: 'Connection to the server lost: reconnecting…',
      offline: 'The processor is not connected.',
      refused: 'Not accepted: ',
      modes: 'Mode memory',
      volumes: 'Volumes',
      mutes: 'Mutes',
      meters: 'Levels',
      scenes: 'Scenes',
      scene: 'Scene',
      commands: n => (n === 1 ? '1 command' : n + ' commands'),
      empty: 'empty',
      plugs: 'Smart plugs',
      noPlugs: 'No plugs on this processor.',
      on: 'On',
      off: 'Off',
      muted: 'Muted',
      mic: 'Mic',
      musicL: 'Music L',
      musicR: 'Music R',
      forget: 'Sign out',
      switchTo: '中文',
    },
    zh: {
      title: '手机遥控',
      pinLabel: '请输入服务器显示的配对码',
      pair: '配对',
      wrongPin: '配对码错误，请重试。',
      locked: '配对码错误次数过多，请一分钟后再试。',
      pinFormat: '配对码为六位数字。',
      pairAgain: '服务器已不认识这部手机，请重新输入配对码。',
      unreachable: '无法连接服务器。',
      serverLost: '与服务器的连接中断，正在重连…',
      offline: '处理器未连接。',
      refused: '未被接受：',
      modes: '模式记忆',
      volumes: '音量',
      mutes: '静音',
      meters: '电平',
      scenes: '场景',
      scene: '场景',
      commands: n => n + ' 条命令',
      empty: '空',
      plugs: '智能插座',
      noPlugs: '此处理器没有插座。',
      on: '开',
      off: '关',
      muted: '已静音',
      mic: '话筒',
      musicL: '音乐 左',
      musicR: '音乐 右',
      forget: '退出',
      switchTo: 'English',
    },
  };

  const $ = id => document.getElementById(id);
  const el = (tag, props, children) => {
    const node = document.createElement(tag);
    Object.assign(node, props || {});
    for (const child of children || [])
      node.append(child);
    return node;
  };

  let lang = pickLanguage();
  let token = readToken();
  let table = [];          // the server's control table
  let state = null;        // the last whole state, kept up to date by the events
  let events = null;       // the EventSource
  let retryTimer = 0;
  let serverLost = false;
  let notice = '';         // a passing message under the banner's own
  let noticeTimer = 0;
  const sliders = new Map(); // key -> slider controller ('field:NAME' or 'plug:NODE')

  function pickLanguage() {
    try {
      const stored = localStorage.getItem(LANG_KEY);
      if (stored === 'en' || stored === 'zh')
        return stored;
    } catch (e) { /* storage may be off */ }
    return (navigator.language || '').toLowerCase().startsWith('zh') ? 'zh' : 'en';
  }

  function readToken() {
    try { return sessionStorage.getItem(TOKEN_KEY) || ''; } catch (e) { return ''; }
  }
  function storeToken(value) {
    token = value;
    try {
      if (value)
        sessionStorage.setItem(TOKEN_KEY, value);
      else
        sessionStorage.removeItem(TOKEN_KEY);
    } catch (e) { /* the token then lives as long as the page */ }
  }

  const t = key => TEXTS[lang][key];
  const label = entry => (entry.label && entry.label[lang]) || entry.name;
  const entryOf = name => table.find(e => e.name === name);

  // ---- server calls ---------------------------------------------------------------------------------

  async function call(method, path, body) {
    const init = { method, headers: { Authorization: 'Bearer ' + token },
                   signal: AbortSignal.timeout(CALL_TIMEOUT_MS) };
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    let reply;
    try {
      reply = await fetch(path, init);
    } catch (e) {
      return { status: 0, data: null };
    }
    let data = null;
    try { data = await reply.json(); } catch (e) { /* no body, or it timed out */ }
    if (reply.status === 401)
      backToPin(t('pairAgain'));
    return { status: reply.status, data };
  }

  async function write(path, body) {
    const reply = await call('POST', path, body);
    if (reply.status === 503)
      showNotice(t('offline'));
    else if (reply.status === 0)
      showNotice(t('unreachable'));
    else if (reply.status !== 200 && reply.status !== 401)
      showNotice(t('refused') + ((reply.data && reply.data.error) || reply.status));
    return reply.status === 200;
  }

  // ---- pairing --------------------------------------------------------------------------------------

  function showPairing(message) {
    closeEvents();
    $('remote').hidden = true;
    $('pairing').hidden = false;
    setPairError(message || '');
    setBanner();
    $('pin').value = '';
    $('pin').focus();
  }

  function setPairError(message) {
    $('pair-error').textContent = message;
    $('pair-error').hidden = !message;
  }

  function backToPin(message) {
    storeToken('');
    state = null;
    showPairing(message);
  }

  async function pair(event) {
    event.preventDefault();
    const pin = $('pin').value.trim();
    if (!/^[0-9]{6}$/.test(pin)) {
      setPairError(t('pinFormat'));
      return;
    }
    let reply;
    try {
      reply = await fetch('/api/pair', {
        method: 'POST',
        signal: AbortSignal.timeout(CALL_TIMEOUT_MS),
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ pin }),
      });
    } catch (e) {
      setPairError(t('unreachable'));
      return;
    }
    if (reply.status === 200) {
      const data = await reply.json();
      storeToken(data.token);
      start();
    } else if (reply.status === 429) {
      setPairError(t('locked'));
    } else if (reply.status === 403) {
      setPairError(t('wrongPin'));
    } else {
      setPairError(t('unreachable'));
    }
    $('pin').select();
  }

  // ---- building the controls ------------------------------------------------------------------------

  // A slider that sends while it is dragged, at most every SEND_PERIOD_MS, one request at a time so
  // that the last value sent is the last value applied.
  function makeSlider(input, output, send) {
    const s = { input, output, dragging: false, settleUntil: 0, server: null, lastSent: 0, timer: 0,
                inFlight: false, queued: null, lastQueued: null, fresh: false };
    const flush = () => {
      if (s.inFlight || s.queued === null)
        return;
      const value = s.queued;
      s.queued = null;
      s.inFlight = true;
      s.lastSent = Date.now();
      send(value).finally(() => {
        s.inFlight = false;
        flush();
      });
    };
    const queue = () => {
      s.queued = s.lastQueued = Number(input.value);
      flush();
    };
    input.addEventListener('input', () => {
      s.dragging = true;
      output.textContent = input.value;
      const wait = s.lastSent + SEND_PERIOD_MS - Date.now();
      s.fresh = false;
      if (wait <= 0 && !s.timer) {
        queue();
        s.fresh = true;
      } else if (!s.timer) {
        s.timer = setTimeout(() => {
          s.timer = 0;
          queue();
        }, Math.max(wait, 0));
      }
    });
    input.addEventListener('change', () => {
      clearTimeout(s.timer);
      s.timer = 0;
      s.dragging = false;
      s.settleUntil = Date.now() + SETTLE_MS;
      output.textContent = input.value;
      // A key press reports one value as input and again as change: it goes out once.
      if (!(s.fresh && s.lastQueued === Number(input.value)))
        queue();
      s.fresh = false;
      setTimeout(() => s.show(), SETTLE_MS + 20);
    });
    // The server's value, shown unless the finger is on the thumb or has just left it.
    s.set = value => {
      s.server = value;
      s.show();
    };
    s.show = () => {
      if (s.server === null || s.dragging || Date.now() < s.settleUntil)
        return;
      input.value = s.server;
      output.textContent = String(s.server);
    };
    return s;
  }

  function rangeRow(key, labelText, min, max, send, attributes) {
    const caption = el('span', { className: 'name', textContent: labelText });
    const output = el('output', { className: 'value', textContent: '–' });
    const input = el('input', { type: 'range', min: String(min), max: String(max), step: '1' });
    for (const [name, value] of Object.entries(attributes))
      input.setAttribute(name, value);
    input.setAttribute('aria-label', labelText);
    const row = el('label', { className: 'slider' }, [el('span', { className: 'top' }, [caption, output]), input]);
    sliders.set(key, makeSlider(input, output, send));
    return { row, caption, input };
  }

  function toggleButton(attributes, onPress) {
    const button = el('button', { type: 'button', className: 'toggle' });
    for (const [name, value] of Object.entries(attributes))
      button.setAttribute(name, value);
    button.setAttribute('aria-pressed', 'false');
    button.addEventListener('click', () => onPress(button.getAttribute('aria-pressed') !== 'true'));
    return button;
  }

  function buildControls() {
    sliders.clear();
    // The plugs' sliders went with the rest: their list is built anew from the next state.
    $('plugs').replaceChildren();
    delete $('plugs').dataset.signature;
    const levels = $('levels');
    const switches = $('switches');
    const choices = $('choices');
    levels.replaceChildren();
    switches.replaceChildren();
    choices.replaceChildren();
    for (const entry of table) {
      if (!entry.field)
        continue; // mode, scenes and plugs have sections of their own
      if (entry.kind === 'level') {
        const { row } = rangeRow('field:' + entry.field, label(entry), entry.min, entry.max,
                                 value => write('/api/set', { field: entry.field, value }),
                                 { 'data-field': entry.field });
        row.dataset.label = entry.field;
        levels.append(row);
      } else if (entry.kind === 'switch') {
        const button = toggleButton({ 'data-field': entry.field },
                                    on => write('/api/set', { field: entry.field, value: on }));
        button.dataset.label = entry.field;
        switches.append(button);
      } else if (entry.kind === 'choice') {
        const select = el('select', {});
        select.setAttribute('data-field', entry.field);
        entry.choices.forEach((name, i) => select.append(el('option', { value: String(i), textContent: name })));
        select.addEventListener('change', () => write('/api/set', { field: entry.field, value: Number(select.value) }));
        const caption = el('span', { className: 'name' });
        caption.dataset.label = entry.field;
        choices.append(el('label', { className: 'choice' }, [caption, select]));
      }
    }
    const mode = entryOf('mode') || { min: 1, max: 4 };
    const modes = $('modes');
    modes.replaceChildren();
    for (let m = mode.min; m <= mode.max; ++m) {
      const button = el('button', { type: 'button', className: 'mode', textContent: 'M' + m });
      button.setAttribute('data-mode', String(m));
      button.addEventListener('click', () => write('/api/mode', { load: m }));
      modes.append(button);
    }
    const scene = entryOf('scene') || { min: 0, max: 5 };
    const scenes = $('scenes');
    scenes.replaceChildren();
    for (let n = scene.min; n <= scene.max; ++n) {
      const button = el('button', { type: 'button', className: 'scene' },
                        [el('span', { className: 'big' }), el('span', { className: 'small' })]);
      button.setAttribute('data-scene', String(n));
      button.addEventListener('click', () => write('/api/scene', { run: n }));
      scenes.append(button);
    }
    const meters = $('meters');
    meters.replaceChildren();
    const readings = entryOf('levels') || { max: 255 };
    ['mic1', 'mic2', 'mic3', 'mic4', 'musicL', 'musicR'].forEach(key => {
      const meter = el('span', { className: 'meter' }, [el('span', { className: 'cover' })]);
      meter.setAttribute('role', 'meter');
      meter.setAttribute('aria-valuemin', '0');
      meter.setAttribute('aria-valuemax', String(readings.max));
      meter.dataset.meter = key;
      meters.append(el('div', { className: 'meter-row' }, [el('span', { className: 'name' }), meter]));
    });
    relabel();
  }

  // Plugs come and go with the smart-home tables: the list is rebuilt when its make-up changes.
  function plugSignature(plugs) {
    return JSON.stringify(plugs.map(p => [p.node, p.type, p.name]));
  }

  function buildPlugs(plugs) {
    const holder = $('plugs');
    holder.replaceChildren();
    for (const key of [...sliders.keys()])
      if (key.startsWith('plug:'))
        sliders.delete(key);
    const dimmer = entryOf('plugLevel') || { min: 0, max: 99 };
    for (const plug of plugs) {
      const button = toggleButton({ 'data-plug': String(plug.node) },
                                  on => write('/api/plug', { node: plug.node, on }));
      const name = el('span', { className: 'name', textContent: plug.name || '#' + plug.node });
      const box = el('div', { className: 'plug' }, [el('div', { className: 'plug-head' }, [name, button])]);
      if (plug.type === 'dimmer') {
        const { row } = rangeRow('plug:' + plug.node, plug.name, dimmer.min, dimmer.max,
                                 level => write('/api/plug', { node: plug.node, level }),
                                 { 'data-plug-level': String(plug.node) });
        row.dataset.label = 'plugLevel';
        box.append(row);
      }
      holder.append(box);
    }
    holder.dataset.signature = plugSignature(plugs);
    relabel();
    setEnabled();
  }

  // ---- showing the state ----------------------------------------------------------------------------

  function setPressed(button, on) {
    button.setAttribute('aria-pressed', on ? 'true' : 'false');
    button.classList.toggle('on', on);
  }

  function apply(change) {
    if (!state)
      state = { connected: false, mode: 1, fields: {}, scenes: [], plugs: [], levels: { mic: [], music: [] } };
    if ('connected' in change)
      state.connected = change.connected;
    if ('mode' in change)
      state.mode = change.mode;
    if (change.fields)
      Object.assign(state.fields, change.fields);
    if (change.scenes)
      state.scenes = change.scenes;
    if (change.plugs)
      state.plugs = change.plugs;
    if (change.levels)
      state.levels = change.levels;
    if (change.limits)
      state.limits = change.limits;
    show(change);
  }

  function show(change) {
    // The owner's maxima in the machine settings: a slider ends where the processor would stop it.
    if (change.limits)
      for (const entry of table)
        if (entry.field && entry.kind === 'level') {
          const input = document.querySelector('input[type=range][data-field="' + entry.field + '"]');
          if (input)
            input.max = String(entry.field in change.limits ? change.limits[entry.field] : entry.max);
        }
    for (const [name, value] of Object.entries(change.fields || {})) {
      const slider = sliders.get('field:' + name);
      if (slider) {
        slider.set(value);
        continue;
      }
      const node = document.querySelector('[data-field="' + name + '"]');
      if (!node)
        continue;
      if (node.tagName === 'SELECT')
        node.value = String(value);
      else
        setPressed(node, value !== 0);
    }
    if ('mode' in change)
      for (const button of document.querySelectorAll('[data-mode]'))
        setPressed(button, Number(button.dataset.mode) === state.mode);
    if (change.scenes)
      for (const { scene, commands } of change.scenes) {
        const button = document.querySelector('[data-scene="' + scene + '"]');
        if (button) {
          button.classList.toggle('empty', commands === 0);
          button.dataset.commands = String(commands);
        }
      }
    if (change.plugs) {
      if ($('plugs').dataset.signature !== plugSignature(change.plugs))
        buildPlugs(change.plugs);
      for (const plug of change.plugs) {
        const button = document.querySelector('[data-plug="' + plug.node + '"]');
        if (button)
          setPressed(button, plug.on);
        const slider = sliders.get('plug:' + plug.node);
        if (slider)
          slider.set(plug.level);
      }
    }
    if (change.levels) {
      const values = [...(change.levels.mic || []), ...(change.levels.music || [])];
      const max = (entryOf('levels') || { max: 255 }).max || 255;
      document.querySelectorAll('[data-meter]').forEach((meter, i) => {
        const value = Math.max(0, Math.min(max, values[i] || 0));
        meter.setAttribute('aria-valuenow', String(value));
        // Set through the style object, which the page's policy allows (no style attribute text).
        meter.firstChild.style.transform = 'scaleX(' + (1 - value / max).toFixed(3) + ')';
      });
    }
    // The levels come four times a second and change no words.
    if (Object.keys(change).some(key => key !== 'levels')) {
      relabel();
      setEnabled();
    }
  }

  function setEnabled() {
    const usable = !!(state && state.connected) && !serverLost;
    for (const node of $('remote').querySelectorAll('input, select, button:not(#forget)'))
      node.disabled = !usable || (node.classList.contains('scene') && node.classList.contains('empty'));
    document.body.classList.toggle('offline', !usable);
    // Without the processor its plugs are unknown, which is not the same as none.
    $('no-plugs').hidden = !usable || (state && state.plugs.length > 0);
    setBanner();
  }

  function setBanner() {
    const banner = $('banner');
    let text = '';
    if (!$('remote').hidden) {
      if (serverLost)
        text = t('serverLost');
      else if (state && !state.connected)
        text = t('offline');
    }
    if (notice)
      text = text ? text + ' ' + notice : notice;
    banner.textContent = text;
    banner.hidden = !text;
  }

  function showNotice(text) {
    notice = text;
    clearTimeout(noticeTimer);
    noticeTimer = setTimeout(() => {
      notice = '';
      setBanner();
    }, 4000);
    setBanner();
  }

  // Every text in the current language: the page's own words from TEXTS, the controls' from the table.
  function relabel() {
    document.documentElement.lang = lang === 'zh' ? 'zh-CN' : 'en';
    document.title = t('title');
    for (const node of document.querySelectorAll('[data-text]'))
      node.textContent = t(node.dataset.text);
    const switcher = $('lang');
    switcher.textContent = t('switchTo');
    switcher.lang = lang === 'zh' ? 'en' : 'zh';
    for (const node of document.querySelectorAll('[data-label]')) {
      const entry = entryOf(node.dataset.label);
      if (!entry)
        continue;
      if (node.classList.contains('toggle')) {
        const on = node.getAttribute('aria-pressed') === 'true';
        node.textContent = label(entry);
        node.append(el('span', { className: 'small', textContent: on ? t('muted') : '' }));
      } else if (node.classList.contains('slider') && entry.name === 'plugLevel') {
        node.querySelector('.name').textContent = label(entry);
      } else if (node.classList.contains('slider')) {
        node.querySelector('.name').textContent = label(entry);
        node.querySelector('input').setAttribute('aria-label', label(entry));
      } else {
        node.textContent = label(entry);
      }
    }
    for (const button of document.querySelectorAll('[data-scene]')) {
      const n = Number(button.dataset.scene);
      const commands = Number(button.dataset.commands || 0);
      button.firstChild.textContent = t('scene') + ' ' + (n + 1);
      button.lastChild.textContent = commands > 0 ? t('commands')(commands) : t('empty');
    }
    for (const button of document.querySelectorAll('[data-plug]'))
      button.textContent = button.getAttribute('aria-pressed') === 'true' ? t('on') : t('off');
    const names = [t('mic') + ' 1', t('mic') + ' 2', t('mic') + ' 3', t('mic') + ' 4', t('musicL'), t('musicR')];
    document.querySelectorAll('.meter-row .name').forEach((node, i) => { node.textContent = names[i]; });
    setBanner();
  }

  // ---- the event stream -----------------------------------------------------------------------------

  function closeEvents() {
    clearTimeout(retryTimer);
    retryTimer = 0;
    if (events) {
      events.close();
      events = null;
    }
  }

  function openEvents() {
    closeEvents();
    const source = new EventSource('/api/events?token=' + encodeURIComponent(token));
    events = source;
    source.onopen = () => {
      if (serverLost) {
        serverLost = false;
        setEnabled();
      }
    };
    source.onmessage = message => {
      let change;
      try { change = JSON.parse(message.data); } catch (e) { return; }
      apply(change);
    };
    source.onerror = () => {
      if (events !== source)
        return;
      serverLost = true;
      setEnabled();
      // The browser retries a dropped stream by itself; a refused one (a restarted server that no
      // longer knows the token answers 401) is closed for good, and the state call says why.
      if (source.readyState === EventSource.CLOSED)
        retryTimer = setTimeout(recheck, RETRY_MS);
    };
  }

  async function recheck() {
    retryTimer = 0;
    const reply = await call('GET', '/api/state');
    if (reply.status === 401)
      return; // back at the PIN form already
    if (reply.status === 200) {
      serverLost = false;
      state = null;
      apply(reply.data);
      openEvents();
    } else {
      retryTimer = setTimeout(recheck, RETRY_MS);
    }
  }

  async function start() {
    $('pairing').hidden = true;
    setPairError('');
    const tableReply = await call('GET', '/api/table');
    if (tableReply.status === 401)
      return;
    if (tableReply.status !== 200) {
      serverLost = true;
      setBanner();
      retryTimer = setTimeout(start, RETRY_MS);
      return;
    }
    serverLost = false;
    table = tableReply.data;
    buildControls();
    $('remote').hidden = false;
    const stateReply = await call('GET', '/api/state');
    if (stateReply.status === 401)
      return;
    state = null;
    if (stateReply.status === 200)
      apply(stateReply.data);
    else
      apply({ connected: false });
    openEvents();
  }

  // ---- start ----------------------------------------------------------------------------------------

  $('pair').addEventListener('submit', pair);
  $('pin').addEventListener('input', () => {
    const digits = $('pin').value.replace(/[^0-9]/g, '').slice(0, 6);
    if (digits !== $('pin').value)
      $('pin').value = digits;
  });
  $('lang').addEventListener('click', () => {
    lang = lang === 'zh' ? 'en' : 'zh';
    try { localStorage.setItem(LANG_KEY, lang); } catch (e) { /* this page only */ }
    relabel();
  });
  $('forget').addEventListener('click', () => backToPin(''));
  relabel();
  if (token)
    start();
  else
    showPairing('');
})();
