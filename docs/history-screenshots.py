#!/usr/bin/python3
"""Regenerates docs/screenshots/history-*.png: a host that hosts its room again and shows
yesterday's talk, and a page that joined late. Run from the repository root after a build,
inside xvfb-run:
  PINWA_HOST_QPA=xcb xvfb-run -a -s '-screen 0 1280x900x24' docs/history-screenshots.py build/tests/web/web_host [SUFFIX]
(QT_SCALE_FACTOR=2 and SUFFIX -2x for the doubled shots)."""
import base64, datetime, os, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'support'))
sys.argv, suffix = sys.argv[:2], (sys.argv[2] if len(sys.argv) > 2 else '')
import e2e_browser as e  # noqa: E402
from scripted_host import ScriptedHost  # noqa: E402

OUT = os.path.join(os.path.dirname(__file__), 'screenshots')
YESTERDAY = [('16:02', '阿强 对 主持人 说: 明天几点开会?'),
             ('16:03', '主持人 对 阿强 说: 上午九点,在三楼'),
             ('16:05', '阿强 对 大家 说: 记得带上周的报告'),
             ('17:40', '主持人 对 大家 说: 今天就到这里,明天见')]


class HostAgain(e.Host):
    """web_host hosting 大厅 on a port whose record already holds yesterday's talk."""

    def __init__(self):
        self.port = e.free_port_pair()
        self.dir = tempfile.TemporaryDirectory(prefix='pinwa-e2e-')
        rooms = os.path.join(self.dir.name, 'pinwa', 'rooms')
        os.makedirs(rooms)
        day = datetime.date.today() - datetime.timedelta(days=1)
        with open(os.path.join(rooms, '%s-%d.log' % (e.gb('大厅').hex(), self.port)), 'wb') as f:
            for hhmm, said in YESTERDAY:
                at = datetime.datetime.combine(day, datetime.time.fromisoformat(hhmm))
                f.write(b'%d %s\n' % (int(at.timestamp() * 1000),
                                      base64.b64encode(b'&S' + e.gb(said) + b'\r')))
        env = dict(os.environ, XDG_CONFIG_HOME=self.dir.name, XDG_DATA_HOME=self.dir.name,
                   QT_QPA_PLATFORM=os.environ.get('PINWA_HOST_QPA', 'offscreen'))
        ScriptedHost.__init__(self, [e.HOST_EXE, str(self.port)], self.dir.name, env)


class Shots(e.WebRoom):
    def setUp(self):
        self.host = HostAgain()
        self.addCleanup(self.host.stop)
        self.qiang = e.RawPeer(self.host.port, '阿强')
        self.addCleanup(self.qiang.sock.close)

    def test_shots(self):
        self.qiang.sock.sendall(b'&S' + e.gb('阿强 对 主持人 说: 早上好,人都到了吗?\r'))
        time.sleep(1)
        # The desktop copy 阿华 that joined late lies on top; then the host's own window.
        self.host.command('shot ' + os.path.abspath(os.path.join(OUT, 'history-desktop' + suffix + '.png')))
        windows = subprocess.run(['xdotool', 'search', '--pid', str(self.host.proc.pid), '--name',
                                  'Pinwa'], capture_output=True, text=True).stdout.split()
        subprocess.run(['xdotool', 'windowraise', windows[0]])
        time.sleep(1)
        self.host.command('shot ' + os.path.abspath(os.path.join(OUT, 'history-host' + suffix + '.png')))
        if suffix:
            return
        d = self.seated()
        self.shown(d, '#Memo1 .line.earlier', '早上好')
        for name, (w, h) in (('390x844', (390, 844)), ('1280x800', (1280, 800))):
            d.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
                'width': w, 'height': h, 'deviceScaleFactor': 1, 'mobile': w < 600})
            time.sleep(0.5)
            d.save_screenshot(os.path.join(OUT, 'history-web-%s.png' % name))


if __name__ == '__main__':
    e.unittest.main(argv=[sys.argv[0], 'Shots.test_shots'])
