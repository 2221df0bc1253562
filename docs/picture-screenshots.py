#!/usr/bin/python3
"""Regenerates docs/screenshots/pictures-*.png: a picture sent by the host, small in the
logs, opened whole, in a whisper window, and in the page as a phone and a desktop browser.
Run from the repository root after a build, inside xvfb-run:
  xvfb-run -a -s '-screen 0 1280x900x24' docs/picture-screenshots.py build/tests/web/web_host [SUFFIX]
(QT_SCALE_FACTOR=2 and SUFFIX -2x for the doubled shots)."""
import os, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
sys.argv, suffix = sys.argv[:2], (sys.argv[2] if len(sys.argv) > 2 else '')
import e2e_browser as e  # noqa: E402

OUT = os.path.join(os.path.dirname(__file__), 'screenshots')


def shot(name):
    time.sleep(1)
    host.command('shot ' + os.path.abspath(os.path.join(OUT, name + suffix + '.png')))


def png_of(width, height, rows):
    chunk = lambda kind, data: (e.struct.pack('>I', len(data)) + kind + data
                                + e.struct.pack('>I', e.zlib.crc32(kind + data)))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', e.struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', e.zlib.compress(rows)) + chunk(b'IEND', b''))


def photo(width, height):
    """A smooth picture of colour bands, as a PNG, without an imaging library."""
    rows = b''.join(b'\0' + b''.join(bytes(((x * 255) // width, (y * 255) // height, 160 - (x + y) % 120))
                                     for x in range(width)) for y in range(height))
    return png_of(width, height, rows)


class Shots(e.WebRoom):
    def shoot(self, d, name, width, height):
        d.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': width < 600})
        time.sleep(0.5)
        d.save_screenshot(os.path.join(OUT, name))

    def test_shots(self):
        work = tempfile.mkdtemp(prefix='pinwa-shots-')
        path = os.path.join(work, '白板.png')
        with open(path, 'wb') as f:
            f.write(photo(640, 420))
        global host
        host = self.host
        d = self.seated()
        self.host.command('sendfile 阿华 ' + path)
        self.host.command('picture')
        shot('pictures-log')
        self.host.command('openpicture')
        shot('pictures-whole')
        subprocess.run(['xdotool', 'key', 'Escape'])
        self.host.command('whisperpicture 主持人 ' + path)
        time.sleep(4)
        shot('pictures-whisper')
        if not suffix:
            self.shoot(d, 'pictures-web-390x844.png', 390, 844)
            self.shoot(d, 'pictures-web-1280x800.png', 1280, 800)


if __name__ == '__main__':
    wm = subprocess.Popen(['openbox'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ['PINWA_HOST_QPA'] = 'xcb'
    try:
        e.unittest.main(argv=[sys.argv[0], 'Shots.test_shots'], exit=False)
    finally:
        wm.terminate()
