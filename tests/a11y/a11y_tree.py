#!/usr/bin/env python3
"""Reads a real host through AT-SPI as a screen reader would: an X server of its own,
a private session bus, the accessibility bus and registry, and the host on the xcb
platform with Qt's accessibility bridge on. Usage: a11y_tree.py A11Y_HOST [--dump].
Skips (77) only where those tools are missing. Everything stays on 127.0.0.1."""
import os, shutil, socket, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from scripted_host import ScriptedHost  # noqa: E402

SKIP = 77  # CTest's SKIP_RETURN_CODE for this test
LAUNCHERS = ['/usr/libexec/at-spi-bus-launcher', '/usr/lib/at-spi2-core/at-spi-bus-launcher']
WAIT = 15

# Roles a user acts on: each must say what it is.
INTERACTIVE = {'push button', 'toggle button', 'check box', 'radio button', 'text', 'entry',
               'password text', 'combo box', 'spin button', 'list', 'table', 'tree', 'tree table',
               'page tab', 'menu item', 'slider', 'scroll bar', 'list item', 'table cell'}
# Rows of a log scrolled out of view are data, not controls: they may be off screen.
ROWS = {'list item', 'table cell'}


def missing_tools():
    missing = [t for t in ('dbus-run-session', 'Xvfb') if not shutil.which(t)]
    if not any(os.access(p, os.X_OK) for p in LAUNCHERS):
        missing.append('at-spi-bus-launcher')
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        missing.append('pyatspi')
    return missing


def outer():
    missing = missing_tools()
    if missing:
        print('skipped: missing ' + ', '.join(missing))
        return SKIP
    env = dict(os.environ, PINWA_A11Y_INNER='1')
    env.pop('DBUS_SESSION_BUS_ADDRESS', None)
    env.pop('AT_SPI_BUS_ADDRESS', None)
    return subprocess.call(['dbus-run-session', '--', sys.executable, os.path.abspath(__file__)]
                           + sys.argv[1:], env=env)


def start_x():
    """An X server of its own; it names its display once it takes clients, so no two
    tests can pick the same number."""
    read, write = os.pipe()
    server = subprocess.Popen(['Xvfb', '-displayfd', str(write), '-screen', '0', '1024x768x24',
                               '-nolisten', 'tcp'], pass_fds=(write,),
                              stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as names:
        display = names.readline().strip()
    if not display:
        raise AssertionError('Xvfb did not start')
    os.environ['DISPLAY'] = ':' + display
    return server


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def start_host(exe, workdir):
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1', QT_QPA_PLATFORM='xcb',
               XDG_CONFIG_HOME=workdir)
    return ScriptedHost([exe, str(free_port()), '-platform', 'xcb'], workdir, env)


def find_app(pyatspi, pid):
    end = time.monotonic() + WAIT
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.get_process_id() == pid and app.childCount > 0:
                return app
        time.sleep(0.1)
    raise AssertionError('the host never appeared on the accessibility bus')


def walk(pyatspi, node, path=(), out=None):
    out = [] if out is None else out
    states = node.getState()
    out.append({'node': node, 'role': node.getRoleName(), 'name': node.name or '',
                'visible': states.contains(pyatspi.STATE_VISIBLE),
                'showing': states.contains(pyatspi.STATE_SHOWING), 'path': path})
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(pyatspi, child, path + ((node.getRoleName(), node.name or ''),), out)
    return out


def where(entry):
    return ' > '.join(f'{r}:{n}' for r, n in entry['path'][1:]) + f" > {entry['role']}:{entry['name']}"


def named(nodes, role, name):
    return [n for n in nodes if n['role'] == role and n['name'] == name]


def wait_for_event(pyatspi, host, source_name):
    """Says new lines until the log's list reports a change; True when it did."""
    from gi.repository import Atspi, GLib
    seen = []

    def heard(event):
        try:
            if event.source is not None and event.source.get_name() == source_name:
                seen.append(event.type)
        except Exception:  # a source gone by the time it is asked is no answer
            pass
        if seen:
            loop.quit()

    loop = GLib.MainLoop()
    listener = Atspi.EventListener.new(heard)
    for kind in ('object:children-changed', 'object:text-changed', 'object:property-change',
                 'object:visible-data-changed', 'object:row-inserted'):
        listener.register(kind)
    # The bridge learns of a new listener from the registry on its own time: a few lines.
    for attempt in range(8):
        host.command(f'say 第{attempt}行')
        GLib.timeout_add(1000, loop.quit)
        loop.run()
        if seen:
            return seen
    return seen


def inner(exe, dump):
    launcher = next(p for p in LAUNCHERS if os.access(p, os.X_OK))
    xserver = start_x()
    import pyatspi  # once there is a display: the bus may be named on its root window
    bus = subprocess.Popen([launcher, '--launch-immediately'], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    workdir = tempfile.mkdtemp(prefix='pinwa-a11y-')
    host = None
    try:
        host = start_host(exe, workdir)
        app = find_app(pyatspi, host.proc.pid)
        nodes = walk(pyatspi, app)
        print(f'nodes: {len(nodes)}')
        failures = []
        for n in nodes[1:]:
            if n['role'] in INTERACTIVE and n['showing'] and not n['name'].strip():
                failures.append('no name: ' + where(n))
            # Qt's own scroll buttons of the tab row, there for when tabs overflow.
            qt_scroll = n['role'] == 'push button' and n['path'][-1][0] == 'page tab list'
            if n['role'] not in ROWS and not n['visible'] and not qt_scroll:
                failures.append('invisible but exposed: ' + where(n))
            if n['name'] in ('combutton', 'Button1', 'fjk', 'list2', 'hesheid'):
                failures.append('object name exposed: ' + where(n))
        if dump:
            for n in nodes:
                flags = ('' if n['visible'] else ' [invisible]') + ('' if n['showing'] else ' [not showing]')
                print('  ' * len(n['path']) + f"{n['role']}: {n['name']!r}{flags}")
            print('\n'.join(failures))
            return 0

        logs = named(nodes, 'list', '聊天记录') + named(nodes, 'list', '悄悄话记录')
        if len(logs) != 2:
            failures.append(f'expected the chat log and a whisper log by name, found {len(logs)}')
        for log in logs:
            rows = log['node'].childCount
            last = log['node'].getChildAtIndex(rows - 1) if rows else None
            if last is None or not (last.name or '').strip():
                failures.append('the newest row of a log reads as nothing: ' + where(log))
        if not any(n['name'].startswith('在线人数') and n['name'].endswith('2') for n in nodes):
            failures.append('no node says the online count (在线人数 ... 2)')
        if not any(n['name'].startswith('你想和他(她)说') and '阿强' in n['name'] for n in nodes):
            failures.append('no node says the addressee')
        if not named(nodes, 'list', '用户列表'):
            failures.append('the user list is not named 用户列表')

        main_log = next((l for l in logs if any('Pinwa' in name for _, name in l['path'])), None)
        if main_log is None:
            failures.append('the main window has no chat log named 聊天记录')
        else:
            kinds = wait_for_event(pyatspi, host, '聊天记录')
            if not kinds:
                failures.append('a new line in the chat log raised no AT-SPI event')
            else:
                print('events on the log: ' + ', '.join(sorted(set(kinds))))
            log = main_log['node']
            newest = log.getChildAtIndex(log.childCount - 1)
            if newest is None or '第' not in (newest.name or ''):
                failures.append(f"the newest row reads {newest.name if newest else None!r}, "
                                'not the line just said')
        for f in failures:
            print('FAIL ' + f)
        return 1 if failures else 0
    finally:
        if host is not None:
            host.close()
        bus.terminate()
        bus.wait()
        xserver.terminate()
        xserver.wait()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == '__main__':
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    if os.environ.get('PINWA_A11Y_INNER') != '1':
        sys.exit(outer())
    sys.exit(inner(os.path.abspath(sys.argv[1]), '--dump' in sys.argv[2:]))
