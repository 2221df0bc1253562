#!/usr/bin/env python3
"""Headless Chromium on a real host's page, beside a legacy peer speaking raw
GB2312 over TCP. Usage: e2e_browser.py WEB_HOST. Everything stays on 127.0.0.1."""
import hashlib, http.client, os, random, re, shutil, socket, struct, sys, tempfile, threading, time, unittest, zlib

CHROMEDRIVER = '/usr/bin/chromedriver'
if not (shutil.which('chromium') and os.path.exists(CHROMEDRIVER)):
    print('skipped: Chromium or its driver is not installed')
    sys.exit(77)  # CTest's SKIP_RETURN_CODE for this test

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from scripted_host import ScriptedHost  # noqa: E402
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

HOST_EXE = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else ''
WAIT = 15
THREAD = '[data-peer="阿强"]'
AXE = os.environ.get('PINWA_AXE', os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..',
                                               '.cache', 'axe', 'node_modules', 'axe-core', 'axe.min.js'))


def gb(text):
    return text.encode('gb2312')


def until(what):
    """For what no browser can tell: the raw peer's bytes."""
    end = time.monotonic() + WAIT
    while time.monotonic() < end:
        if got := what():
            return got
        time.sleep(0.05)
    raise AssertionError('timed out')


def random_file(path, mib=256):
    """A file of random bytes written a block at a time; its path and SHA-256."""
    digest = hashlib.sha256()
    with open(path, 'wb') as f:
        for _ in range(mib):
            block = os.urandom(1 << 20)
            digest.update(block)
            f.write(block)
    return path, digest.hexdigest()


def file_digest(path, seconds=240):
    """The SHA-256 of a file once it is there (a download renames into place)."""
    end = time.monotonic() + seconds
    while not os.path.exists(path) and time.monotonic() < end:
        time.sleep(0.2)
    digest = hashlib.sha256()
    with open(path, 'rb') as f:
        while block := f.read(1 << 20):
            digest.update(block)
    return digest.hexdigest()


def free_port_pair():
    """A room port whose + 1 is free too: the host takes both. Below the ports Linux
    gives connecting sockets (32768 up), so none of ours can take the second first."""
    for _ in range(200):
        port = random.randrange(20000, 32000)
        try:
            with socket.socket() as a, socket.socket() as b:
                for s, p in ((a, port), (b, port + 1)):
                    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
                    s.bind(('127.0.0.1', p))
            return port
        except OSError:
            pass
    raise RuntimeError('no free pair of ports')


class RawPeer:
    def __init__(self, port, nickname):
        self.sock = socket.create_connection(('127.0.0.1', port), timeout=WAIT)
        self.sock.settimeout(0.05)
        self.got = b''
        until(lambda: self.read().startswith(b'&U'))
        self.sock.sendall(b'&U' + gb(nickname))
        until(lambda: b'&Y' in self.read())

    def read(self):
        try:
            self.got += self.sock.recv(65536)
        except socket.timeout:
            pass
        return self.got

    def exactly(self, wanted):
        until(lambda: len(self.read()) >= len(wanted))
        return self.got


class DropProxy:
    """Cuts a browser's connections as a lost network would, the host staying up.
    The gateway only takes its own origin, so the handshake gets the web port."""

    def __init__(self, web_port):
        self.web, self.live = web_port, []
        self.refusing = False  # a network that stays down: connections close at once
        self.listener = socket.create_server(('127.0.0.1', 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                browser = self.listener.accept()[0]
            except OSError:
                return
            if self.refusing:
                browser.close()
                continue
            head = b''
            while b'\r\n\r\n' not in head:
                head += browser.recv(16384)
            head = head.replace(b'127.0.0.1:%d' % self.port, b'127.0.0.1:%d' % self.web)
            room = socket.create_connection(('127.0.0.1', self.web))
            room.sendall(head)
            self.live += [browser, room]
            for a, b in ((browser, room), (room, browser)):
                threading.Thread(target=self._pump, args=(a, b), daemon=True).start()

    @staticmethod
    def _pump(src, dst):
        try:
            while data := src.recv(65536):
                dst.sendall(data)
            dst.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def drop(self):
        for s in self.live:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self.live = []

    def close(self):
        self.drop()
        self.listener.close()


class Host(ScriptedHost):
    """tests/web/web_host: the desktop program hosting with 允许网页加入 on."""

    def __init__(self, conf=''):
        self.port = free_port_pair()
        self.dir = tempfile.TemporaryDirectory(prefix='pinwa-e2e-')
        if conf:  # the program's own settings file, as the user left it
            os.mkdir(os.path.join(self.dir.name, 'pinwa'))
            with open(os.path.join(self.dir.name, 'pinwa', 'pinwa.conf'), 'w') as f:
                f.write(conf)
        env = dict(os.environ, XDG_CONFIG_HOME=self.dir.name, XDG_DATA_HOME=self.dir.name,
                   QT_QPA_PLATFORM=os.environ.get('PINWA_HOST_QPA', 'offscreen'))
        super().__init__([HOST_EXE, str(self.port)], self.dir.name, env)

    def stop(self):
        self.close()
        self.dir.cleanup()


class WebRoom(unittest.TestCase):
    def setUp(self):
        self.host = Host()
        self.addCleanup(self.host.stop)
        self.qiang = RawPeer(self.host.port, '阿强')
        self.addCleanup(self.qiang.sock.close)

    def browser(self, port=None, downloads=None):
        options = webdriver.ChromeOptions()
        if downloads:
            options.add_experimental_option('prefs', {'download.default_directory': downloads,
                                                      'download.prompt_for_download': False})
        for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                    '--no-first-run', '--disable-background-networking', '--disable-component-update'):
            options.add_argument(arg)
        d = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.addCleanup(d.quit)
        d.get('http://127.0.0.1:%d/' % (port or self.host.port + 1))
        return d

    def wait(self, d, condition, seconds=WAIT):
        return WebDriverWait(d, seconds).until(lambda _: condition())

    def join(self, d, nickname='小明'):
        d.find_element(By.ID, 'nc1').send_keys(nickname, Keys.ENTER)

    def file_to_send(self, name):
        """A 256 MiB file NAME in a folder of the test's own, its SHA-256, and an empty
        folder beside it for what arrives."""
        work = tempfile.TemporaryDirectory(prefix='pinwa-files-')
        self.addCleanup(work.cleanup)
        got = os.path.join(work.name, 'got')
        os.mkdir(got)
        return random_file(os.path.join(work.name, name)) + (got,)

    def seated(self, port=None, downloads=None):
        d = self.browser(port, downloads)
        self.join(d)
        until(lambda: gb('小明\n') in self.qiang.read())
        self.wait(d, lambda: d.find_elements(By.CSS_SELECTOR, '#list1 button[data-nickname="阿强"]'))
        d.find_element(By.CSS_SELECTOR, '#list1 button[data-nickname="阿强"]').click()
        self.qiang.got = b''
        return d

    def shown(self, d, css, text):
        # textContent: a thread not shown yet still holds its lines.
        self.wait(d, lambda: any(text in e.get_attribute('textContent')
                                 for e in d.find_elements(By.CSS_SELECTOR, css)))

    def test_talk_reaches_a_legacy_peer_as_desktop_bytes_and_back(self):
        d = self.seated()
        d.find_element(By.ID, 'Edit5').send_keys('你好', Keys.ENTER)
        line = b'&S' + gb('小明 对 阿强 说: 你好\r')
        self.assertEqual(self.qiang.exactly(line), line)
        self.shown(d, '#Memo1 .line.own', '小明 对 阿强 说: 你好')
        self.qiang.sock.sendall(b'&S' + gb('阿强 对 小明 说: 早上好\r'))
        self.shown(d, '#Memo1 .line.toMe', '阿强 对 小明 说: 早上好')
        self.assertRegex(d.find_element(By.CSS_SELECTOR, '#Memo1 .toMe time').text, r'^\d\d:\d\d:\d\d$')

    def test_whispers_both_ways(self):
        d = self.seated()
        d.find_element(By.ID, 'whisperButton').click()
        self.wait(d, lambda: d.find_element(By.CSS_SELECTOR, THREAD).is_displayed())
        d.find_element(By.CSS_SELECTOR, THREAD + ' .Edit1').send_keys('悄悄的', Keys.ENTER)
        said = re.escape(gb('小明 说: 悄悄的'))
        seat = until(lambda: re.fullmatch(rb'&Q(\d{3})' + said, self.qiang.read())).group(1)
        self.qiang.sock.sendall(b'&Q' + seat + gb('阿强 说: 收到了'))
        self.shown(d, THREAD + ' .Memo1 .line.other', '阿强 说: 收到了')

    def test_whispers_with_a_desktop_client_both_ways(self):
        d = self.seated()
        self.host.command('whisper 小明 你好小明')
        hua = '[data-peer="阿华"]'
        self.shown(d, hua + ' .Memo1 .line.other', '阿华 说: 你好小明')
        d.find_element(By.ID, d.find_element(By.CSS_SELECTOR, hua).get_attribute('id') + 'Tab').click()
        d.find_element(By.CSS_SELECTOR, hua + ' .Edit1').send_keys('收到, 阿华', Keys.ENTER)
        until(lambda: 'whisper: 小明 说: 收到, 阿华' in self.host.command('whispers'))

    def test_whisper_from_a_legacy_peer_opens_a_thread_that_answers(self):
        d = self.seated()
        self.qiang.sock.sendall(b'&W' + gb('小明'))
        seat = until(lambda: re.fullmatch(rb'&W(\d{3})' + re.escape(gb('小明')), self.qiang.read())).group(1)
        self.qiang.got = b''
        self.qiang.sock.sendall(b'&Q' + seat + gb('阿强 说: 在吗?'))
        self.shown(d, THREAD + ' .Memo1', '阿强 说: 在吗?')
        d.find_element(By.ID, d.find_element(By.CSS_SELECTOR, THREAD).get_attribute('id') + 'Tab').click()
        d.find_element(By.CSS_SELECTOR, THREAD + ' .Edit1').send_keys('在呢', Keys.ENTER)
        line = b'&Q' + seat + gb('小明 说: 在呢')
        self.assertEqual(self.qiang.exactly(line), line)

    def test_host_broadcast_shows_as_a_notice_until_dismissed(self):
        d = self.seated()
        self.host.command('broadcast 今晚十点关门')
        self.wait(d, lambda: d.find_element(By.ID, 'notice').is_displayed())
        self.assertEqual(d.find_element(By.ID, 'noticeText').text, '今晚十点关门')
        d.find_element(By.ID, 'noticeOk').click()
        self.wait(d, lambda: not d.find_element(By.ID, 'notice').is_displayed())

    def test_kicked_browser_is_back_at_the_join_form_without_its_seat(self):
        d = self.seated()
        self.host.command('kick 小明')
        self.wait(d, lambda: d.find_element(By.ID, 'joinForm').is_displayed())
        self.assertTrue(d.find_element(By.ID, 'joinText').text)
        self.assertIsNone(d.execute_script("return sessionStorage.getItem('pinwa.token')"))
        until(lambda: (b'&Y' + gb('阿华\n阿强\n主持人\n')) in self.qiang.read())

    def test_second_browser_is_refused_a_taken_nickname_in_the_desktop_words(self):
        self.seated()
        d = self.browser()
        self.join(d)
        self.wait(d, lambda: d.find_element(By.ID, 'notice').is_displayed())
        said = [p.text for p in d.find_elements(By.CSS_SELECTOR, '#noticeText p')]
        self.assertEqual(said[0], '您的昵称已经有人在使用了!')
        self.assertTrue(d.find_element(By.ID, 'joinForm').is_displayed())

    def test_dropped_tab_keeps_its_seat_and_gets_what_it_missed(self):
        proxy = DropProxy(self.host.port + 1)
        self.addCleanup(proxy.close)
        d = self.seated(proxy.port)
        proxy.drop()
        self.wait(d, lambda: d.find_element(By.ID, 'ts').text == '连接断开!')
        self.qiang.sock.sendall(b'&S' + gb('阿强 对 小明 说: 你还在吗\r'))
        self.shown(d, '#Memo1 .line.toMe', '阿强 对 小明 说: 你还在吗')
        self.assertEqual(len(d.find_elements(By.CSS_SELECTOR, '#Memo1 .toMe')), 1)
        d.find_element(By.ID, 'Edit5').send_keys('我回来了', Keys.ENTER)
        until(lambda: gb('我回来了') in self.qiang.read())
        # Nobody saw the seat go: no leave line, no new roster.
        self.assertEqual(self.qiang.got, b'&S' + gb('阿强 对 小明 说: 你还在吗\r') +
                         b'&S' + gb('小明 对 阿强 说: 我回来了\r'))

    def test_late_page_sees_earlier_talk_and_again_after_its_seat_expired(self):
        self.host.command('seatkeep 1500')
        self.qiang.sock.sendall(b'&S' + gb('阿强 对 主持人 说: 早上好\r'))
        proxy = DropProxy(self.host.port + 1)
        self.addCleanup(proxy.close)
        d = self.seated(proxy.port)
        self.shown(d, '#Memo1 .line.earlier', '阿强 对 主持人 说: 早上好')
        self.wait(d, lambda: d.find_element(By.ID, 'ts').text == '本聊天室保存聊天记录')
        proxy.refusing = True
        proxy.drop()
        self.qiang.sock.sendall(b'&S' + gb('阿强 对 主持人 说: 你错过了这句\r'))
        # The seat is gone when the latest roster the room sends lacks it.
        until(lambda: b'&Y' in self.qiang.read() and
              gb('小明') not in self.qiang.got.rsplit(b'&Y', 1)[-1].split(b'&S')[0])
        proxy.refusing = False
        self.wait(d, lambda: d.find_element(By.ID, 'joinForm').is_displayed())
        d.find_element(By.ID, 'nc1').send_keys(Keys.ENTER)
        self.shown(d, '#Memo1 .line.earlier', '阿强 对 主持人 说: 你错过了这句')

    def test_text_gb2312_lacks_stays_in_the_input_marked(self):
        d = self.seated()
        edit = d.find_element(By.ID, 'Edit5')
        edit.send_keys('好的😀呀', Keys.ENTER)
        self.wait(d, lambda: d.find_element(By.CSS_SELECTOR, '#room .unsendable').is_displayed())
        self.assertEqual(edit.get_attribute('value'), '好的😀呀')
        marks = d.find_elements(By.CSS_SELECTOR, '#room .unsendable mark')
        self.assertEqual([m.text for m in marks], ['😀'])
        edit.clear()
        edit.send_keys('好的', Keys.ENTER)
        line = b'&S' + gb('小明 对 阿强 说: 好的\r')
        self.assertEqual(self.qiang.exactly(line), line)

    def test_hidden_tab_counts_unread_lines_in_its_title(self):
        d = self.seated()
        page = d.current_window_handle
        d.switch_to.new_window('tab')
        for text in ('一', '二'):
            self.qiang.sock.sendall(b'&S' + gb('阿强 对 小明 说: %s\r' % text))
            until(lambda: gb(text) in self.qiang.read())  # two reads, as two lines are
        titles = lambda: [t['title'] for t in d.execute_cdp_cmd('Target.getTargets', {})['targetInfos']]
        self.wait(d, lambda: '(2) Pinwa 聊天室' in titles())
        d.close()
        d.switch_to.window(page)
        self.wait(d, lambda: d.title == 'Pinwa 聊天室')

    def test_file_from_the_page_reaches_a_legacy_peer_and_downloads_byte_equal(self):
        sent, digest, got_dir = self.file_to_send('报告.bin')
        d = self.seated(downloads=got_dir)
        d.find_element(By.ID, 'sendFile').send_keys(sent)
        offer = rb'&S' + re.escape(gb('小明 对 阿强 说: [文件] 报告.bin (256.0 MB) ')) + \
            rb'http://[0-9.]+:(\d+)(/f/[0-9a-f]{32}/)' + re.escape(gb('报告.bin')) + rb'\r'
        end = time.monotonic() + 240
        while not (m := re.fullmatch(offer, self.qiang.read())) and time.monotonic() < end:
            time.sleep(0.2)
        self.assertTrue(m, self.qiang.got[:200])
        # The older peer's user opens the address with any HTTP client.
        web = http.client.HTTPConnection('127.0.0.1', int(m.group(1)), timeout=WAIT)
        web.request('GET', m.group(2).decode() + '%E6%8A%A5%E5%91%8A.bin')
        answer, theirs = web.getresponse(), hashlib.sha256()
        self.assertEqual(answer.status, 200)
        while block := answer.read(1 << 20):
            theirs.update(block)
        self.assertEqual(theirs.hexdigest(), digest)
        self.assertEqual(answer.getheader('ETag'), '"%s"' % digest)
        # The page shows the line as a file entry and downloads it with the browser.
        self.shown(d, '#Memo1 .fileEntry .name', '报告.bin')
        self.assertEqual(d.find_element(By.CSS_SELECTOR, '#transfers .state').text, '发送完毕')
        d.find_element(By.CSS_SELECTOR, '#Memo1 .fileEntry a').click()
        saved = os.path.join(got_dir, '报告.bin')
        self.assertEqual(file_digest(saved), digest)

    def test_file_from_the_page_reaches_a_desktop_client_byte_equal(self):
        sent, digest, got = self.file_to_send('给阿华.bin')
        d = self.seated()
        d.find_element(By.CSS_SELECTOR, '#list1 button[data-nickname="阿华"]').click()
        d.find_element(By.ID, 'sendFile').send_keys(sent)
        self.wait(d, lambda: d.find_element(By.CSS_SELECTOR, '#transfers .state').text == '发送完毕',
                  240)
        self.host.command('receive ' + got)
        saved = os.path.join(got, '给阿华.bin')
        self.assertEqual(file_digest(saved), digest)

    def test_file_from_a_desktop_copy_downloads_in_the_browser_byte_equal(self):
        sent, digest, got_dir = self.file_to_send('desk.bin')
        d = self.seated(downloads=got_dir)
        self.host.command('sendfile 小明 ' + sent)
        entry = '#Memo1 .fileEntry a'
        WebDriverWait(d, 240).until(lambda _: d.find_elements(By.CSS_SELECTOR, entry))
        d.find_element(By.CSS_SELECTOR, entry).click()
        saved = os.path.join(got_dir, 'desk.bin')
        self.assertEqual(file_digest(saved), digest)

    def test_pictures_show_inline_from_the_page_and_from_a_desktop_copy(self):
        work = tempfile.mkdtemp(prefix='pinwa-pictures-')
        self.addCleanup(shutil.rmtree, work)
        png = os.path.join(work, '白板.png')
        with open(png, 'wb') as f:
            f.write(self.png(300, 200))
        d = self.seated()
        d.find_element(By.CSS_SELECTOR, '#list1 button[data-nickname="阿华"]').click()
        other = self.browser()
        self.join(other, '小红')
        until(lambda: gb('小红\n') in self.qiang.read())
        d.find_element(By.ID, 'sendImage').send_keys(png)
        until(lambda: gb('[图片] 白板.png (') in self.qiang.read())
        self.assertIn('picture: 240x160', self.host.command('picture'))
        shown = '#Memo1 .fileEntry img.picture'
        for page in (d, other):
            self.wait(page, lambda: page.execute_script(
                'const i = document.querySelector(arguments[0]); return i && i.naturalWidth;', shown) == 300)
            self.assertEqual(page.find_element(By.CSS_SELECTOR, shown).get_attribute('alt'), '白板.png')
        self.host.command('sendfile 小明 ' + png)
        self.wait(d, lambda: len(d.find_elements(By.CSS_SELECTOR, shown)) == 2)

    def test_page_shows_pictures_only_up_to_the_hosts_limit(self):
        small = Host('[pictures]\ninlineMiB=0\n')  # this host shows no picture inline
        self.addCleanup(small.stop)
        work = tempfile.mkdtemp(prefix='pinwa-pictures-')
        self.addCleanup(shutil.rmtree, work)
        png = os.path.join(work, '白板.png')
        with open(png, 'wb') as f:
            f.write(self.png(300, 200))
        d = self.browser(small.port + 1)
        self.join(d)
        self.wait(d, lambda: d.find_elements(By.CSS_SELECTOR, '#list1 button[data-nickname="主持人"]'))
        small.command('sendfile 小明 ' + png)
        self.wait(d, lambda: d.find_elements(By.CSS_SELECTOR, '#Memo1 .fileEntry a'))
        self.assertEqual(d.find_elements(By.CSS_SELECTOR, '#Memo1 .fileEntry img'), [])

    @staticmethod
    def png(width, height):
        """Blocks of two colours, as a PNG, without an imaging library."""
        def chunk(kind, data):
            return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
        rows = b''.join(b'\0' + (b'\xff\0\0' if y < height // 2 else b'\0\0\xff') * width
                        for y in range(height))
        return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))

    def violations(self, d):
        """What axe-core finds wrong on the page as it stands: rule, impact, where."""
        if not os.path.exists(AXE):
            self.fail('axe-core is missing: scripts/setup.sh fetches it')
        if not d.execute_script('return !!window.axe'):
            with open(AXE, encoding='utf-8') as f:
                d.execute_script(f.read())
        found = d.execute_async_script(
            'const done = arguments[arguments.length - 1];'
            'axe.run(document, {resultTypes: ["violations"]})'
            '.then(r => done(r.violations.map(v => [v.id, v.impact, v.nodes.map(n => n.target.join(" "))])))'
            '.catch(e => done([["axe failed", String(e), []]]));')
        return [tuple(v[:2]) + (v[2][:3],) for v in found]

    def test_page_passes_an_accessibility_audit(self):
        d = self.browser()
        self.wait(d, lambda: d.find_element(By.ID, 'nc1').is_displayed())
        self.assertEqual(self.violations(d), [], 'the join form')
        self.qiang.sock.sendall(b'&S' + gb('阿强 对 主持人 说: 早上好\r'))
        until(lambda: gb('早上好') in self.qiang.read())
        d = self.seated()
        self.shown(d, '#Memo1 .line', '早上好')
        d.find_element(By.ID, 'Edit5').send_keys('你好', Keys.ENTER)
        self.qiang.sock.sendall(b'&S' + gb('阿强 对 小明 说: 早\r'))
        work = tempfile.mkdtemp(prefix='pinwa-audit-')
        self.addCleanup(shutil.rmtree, work)
        for name, data in (('图.png', self.png(40, 30)), ('表.txt', b'1,2\n')):
            with open(os.path.join(work, name), 'wb') as f:
                f.write(data)
            self.host.command('sendfile 小明 ' + os.path.join(work, name))
        self.wait(d, lambda: d.find_elements(By.CSS_SELECTOR, '#Memo1 .fileEntry img.picture'))
        self.wait(d, lambda: len(d.find_elements(By.CSS_SELECTOR, '#Memo1 .fileEntry')) == 2)
        self.host.command('whisper 小明 你好小明')
        self.shown(d, '[data-peer="阿华"] .Memo1', '你好小明')
        hua = d.find_element(By.CSS_SELECTOR, '[data-peer="阿华"]').get_attribute('id')
        self.assertEqual(self.violations(d), [], 'the room with every kind of line')
        d.find_element(By.ID, hua + 'Tab').click()
        self.assertEqual(self.violations(d), [], 'a whisper thread')
        d.set_window_size(390, 844)
        d.find_element(By.ID, 'roomTab').click()
        d.find_element(By.ID, 'usersToggle').click()
        self.wait(d, lambda: d.find_element(By.ID, 'list1').is_displayed())
        self.assertEqual(self.violations(d), [], 'a phone with the user list open')
        self.host.command('broadcast 今晚十点关门')
        self.wait(d, lambda: d.find_element(By.ID, 'notice').is_displayed())
        self.assertEqual(self.violations(d), [], 'a notice from the host')
        refused = [e['message'] for e in d.get_log('browser') if 'Content Security Policy' in e['message']]
        self.assertEqual(refused, [])
        self.assertEqual(d.execute_script('return fetch("icon.png").then(r => r.headers.get("content-type"))'),
                         'image/png')

    def test_upload_cut_by_a_dropped_connection_goes_on_after_it(self):
        proxy = DropProxy(self.host.port + 1)
        self.addCleanup(proxy.close)
        work = tempfile.TemporaryDirectory(prefix='pinwa-files-')
        self.addCleanup(work.cleanup)
        sent = os.path.join(work.name, 'cut.bin')
        data = os.urandom(256 << 20)
        with open(sent, 'wb') as f:
            f.write(data)
        d = self.seated(proxy.port)
        d.find_element(By.ID, 'sendFile').send_keys(sent)
        bar = lambda: float(d.find_element(By.CSS_SELECTOR, '#transfers progress').get_attribute('value'))
        WebDriverWait(d, WAIT, poll_frequency=0.05).until(lambda _: bar() > 0)
        proxy.drop()
        self.assertLess(bar(), len(data))  # cut before the end, or this shows nothing
        offer = rb'http://[0-9.]+:(\d+)(/f/[0-9a-f]{32}/cut\.bin)\r'
        end = time.monotonic() + 120
        while not (m := re.search(offer, self.qiang.read())) and time.monotonic() < end:
            time.sleep(0.2)
        self.assertTrue(m)
        web = http.client.HTTPConnection('127.0.0.1', self.host.port + 1, timeout=WAIT)
        web.request('GET', m.group(2).decode())
        self.assertEqual(hashlib.sha256(web.getresponse().read()).hexdigest(),
                         hashlib.sha256(data).hexdigest())


if __name__ == '__main__':
    if not HOST_EXE:
        sys.exit(__doc__)
    unittest.main(verbosity=2)
