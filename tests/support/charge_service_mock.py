'''A stand-in charge service for brimwell-prefs' tests: the batteries it keeps, and an error every
change ends in when the parameters give one.

Parameters: "batteries", each [name, has end, end, has start, start, full once]; "error", [D-Bus
error name, message], raised by SetLimits and ChargeFullOnce; "unlisted", GetLimits answering with no list at all, as a service of another make might.
'''

import dbus

BUS_NAME = 'org.tarnel.Brimwell.Charge'
MAIN_OBJ = '/org/tarnel/Brimwell/Charge'
MAIN_IFACE = 'org.tarnel.Brimwell.Charge1'
SYSTEM_BUS = True

RAISE = '''
if self.refusal[0] is not None:
    raise dbus.exceptions.DBusException(self.refusal[1], name=self.refusal[0])
'''


def load(mock, parameters):
    mock.batteries = [list(b) for b in parameters.get('batteries', [])]
    mock.refusal = parameters.get('error', [None, None])
    unlisted = parameters.get('unlisted', False)
    mock.AddMethods(MAIN_IFACE, [
        ('GetLimits', '', '' if unlisted else 'a(sbubub)', 'ret = None' if unlisted else
         'ret = dbus.Array([dbus.Struct(b, signature="sbubub") for b in self.batteries],'
         ' signature="(sbubub)")'),
        ('SetLimits', 'suu', '', RAISE +
         'for b in self.batteries:\n'
         '    if args[0] in ("", b[0]) and b[1]:\n'
         '        b[2] = args[1] or b[2]\n'
         '        b[4] = (args[2] or b[4]) if b[3] else b[4]\n'
         '        b[5] = False\n'),
        ('ChargeFullOnce', 's', '', RAISE +
         'for b in self.batteries:\n'
         '    if args[0] in ("", b[0]) and b[1]:\n'
         '        b[5] = True\n'),
    ])
