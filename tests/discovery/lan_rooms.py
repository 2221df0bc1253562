"""Two network namespaces joined by a veth pair, each with its own bus and avahi-daemon:
a host in one announces its room, a copy in the other finds it, chooses it and joins.
Nothing leaves the namespaces. Exits 77 only where namespaces cannot be made."""
import os, shutil, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from scripted_host import ScriptedHost  # noqa: E402

PEER = os.path.abspath(sys.argv[1])
TAG = 'pw%d' % os.getpid()
SIDES = {'h': '10.231.%d.1' % (os.getpid() % 250), 'c': '10.231.%d.2' % (os.getpid() % 250)}
PORT = 18890
WAIT = 30

BUS_CONF = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:path={path}</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/>
<allow send_destination="*"/><allow receive_sender="*"/></policy></busconfig>
"""
AVAHI_CONF = """[server]
host-name=pinwa-{side}
use-ipv4=yes
use-ipv6=no
allow-interfaces={iface}
enable-dbus=yes
ratelimit-interval-usec=0
[wide-area]
enable-wide-area=no
[publish]
publish-workstation=no
publish-hinfo=no
[reflector]
enable-reflector=no
"""


def sh(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True)


def in_ns(side, *args):
    return ['ip', 'netns', 'exec', TAG + side] + list(args)


def make_namespaces():
    for side in SIDES:
        sh('ip', 'netns', 'add', TAG + side)
    sh('ip', 'link', 'add', TAG + 'h', 'type', 'veth', 'peer', 'name', TAG + 'c')
    for side, address in SIDES.items():
        sh('ip', 'link', 'set', TAG + side, 'netns', TAG + side)
        sh(*in_ns(side, 'ip', 'addr', 'add', address + '/24', 'dev', TAG + side))
        sh(*in_ns(side, 'ip', 'link', 'set', TAG + side, 'up', 'multicast', 'on'))
        sh(*in_ns(side, 'ip', 'link', 'set', 'lo', 'up'))


def start_services(work, side):
    """Its own bus and its own avahi-daemon; returns the processes and the bus address."""
    path = os.path.join(work, side + '-bus')
    conf = os.path.join(work, side + '-bus.conf')
    with open(conf, 'w') as f:
        f.write(BUS_CONF.format(path=path))
    avahi_conf = os.path.join(work, side + '-avahi.conf')
    with open(avahi_conf, 'w') as f:
        f.write(AVAHI_CONF.format(side=side, iface=TAG + side))
    bus = subprocess.Popen(in_ns(side, 'dbus-daemon', '--nofork', '--config-file=' + conf))
    address = 'unix:path=' + path
    deadline = time.monotonic() + WAIT
    while not os.path.exists(path):
        assert time.monotonic() < deadline, 'no bus'
        time.sleep(0.05)
    # Its own /run, so the daemon's pid file and socket are its own too.
    avahi = subprocess.Popen(in_ns(side, 'sh', '-c',
                                   'mount -t tmpfs tmpfs /run && mkdir /run/avahi-daemon && '
                                   'exec avahi-daemon --no-drop-root --no-chroot --no-rlimits '
                                   '-f "$0"', avahi_conf),
                             env=dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    while subprocess.run(['dbus-send', '--system', '--print-reply',
                          '--dest=org.freedesktop.Avahi', '/', 'org.freedesktop.Avahi.Server.GetState'],
                         env=env, capture_output=True).returncode != 0:
        assert time.monotonic() < deadline, 'no avahi-daemon'
        time.sleep(0.1)
    return [avahi, bus], env


def peer(work, side, env, name):
    home = os.path.join(work, name)
    os.makedirs(home)
    env = dict(env, XDG_CONFIG_HOME=home, DBUS_SESSION_BUS_ADDRESS='',
               QT_QPA_PLATFORM=env.get('QT_QPA_PLATFORM', 'offscreen'))
    return ScriptedHost(in_ns(side, PEER), home, env)


def until(what, check):
    deadline = time.monotonic() + WAIT
    while True:
        got = check()
        if got:
            return got
        assert time.monotonic() < deadline, what


def rooms(client):
    lines = client.command('rooms')
    return [l[6:] for l in lines if l.startswith('room: ')], [l[6:] for l in lines if l.startswith('note: ')][0]


def main():
    if os.geteuid() != 0 or not shutil.which('avahi-daemon') or not shutil.which('ip'):
        print('skipped: needs root, ip and avahi-daemon')
        return 77
    try:
        make_namespaces()
    except subprocess.CalledProcessError as e:
        print('skipped: namespaces cannot be made here:', e.stderr)
        return 77
    work = tempfile.mkdtemp()
    procs, peers = [], []
    try:
        envs = {}
        for side in SIDES:
            started, envs[side] = start_services(work, side)
            procs += started
        host = peer(work, 'h', envs['h'], 'host')
        peers.append(host)
        host.command('host %d 大厅 主持人 1' % PORT)
        # The client's daemon already knows the room when the list opens, so it answers
        # a new resolver at once: the copy must not miss that answer.
        until('avahi-browse resolves the room', lambda: subprocess.run(
            in_ns('c', 'avahi-browse', '-rtp', '_pinwa._tcp'), env=envs['c'],
            capture_output=True, text=True).stdout.count('\n=;'))
        client = peer(work, 'c', envs['c'], 'client')
        # Stays on the settings page beside the client, to watch the list.
        watcher = peer(work, 'c', envs['c'], 'watcher')
        peers += [client, watcher]

        # Announced: the client lists the room with its name, nickname and count.
        entry = '大厅 (主持人, 1 人) %s:%d' % (SIDES['h'], PORT)
        until('the room is listed', lambda: rooms(client)[0] == [entry])
        assert client.command('choose 0') == ['address: %s %d' % (SIDES['h'], PORT)]
        assert not [l for l in client.command('join 阿强') if l.startswith('dialog: ')]
        until('the client joins', lambda: 'user: 阿强' in client.command('users'))
        # The count follows the room.
        until('the count goes up', lambda: rooms(watcher)[0] == [entry.replace('1 人', '2 人')])
        host.command('end')
        until('the entry goes', lambda: rooms(watcher)[0] == [])

        # Not announced: nothing is found, and the client says so.
        host.command('host %d 小屋 主持人 0' % (PORT + 2))
        note = until('nothing is found', lambda: rooms(watcher)[1])
        assert note == '没有找到聊天室:请确认主机和你在同一个网络里,或者直接输入地址', note
        assert rooms(watcher)[0] == []
        print('ok')
        return 0
    finally:
        for p in peers:
            p.close()
        for p in procs:
            p.terminate()
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
        for side in SIDES:
            sh('ip', 'netns', 'del', TAG + side, check=False)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
