# Ranges of code points that a Rust string prints escaped with {:?}: grapheme extenders and
# characters that are not printable (separators other than space, controls, format, surrogates,
# private use, unassigned).
import unicodedata
OTHER_GRAPHEME_EXTEND = [0x09BE,0x09D7,0x0B3E,0x0B57,0x0BBE,0x0BD7,0x0CC2,0x0CD5,0x0CD6,0x0D3E,0x0D57,0x0DCF,0x0DDF,0x1B35,0x200C,0x302E,0x302F,0xFF9E,0xFF9F,0x1133E,0x11357,0x114B0,0x114BD,0x115AF,0x11930,0x1D165,0x1D16E,0x1D16F,0x1D170,0x1D171,0x1D172] + list(range(0xE0020,0xE0080))
oge=set(OTHER_GRAPHEME_EXTEND)
def escaped(c):
    if c < 0x80: return False
    cat = unicodedata.category(chr(c))
    if cat in ('Mn','Me') or c in oge: return True
    return cat in ('Zs','Zl','Zp','Cc','Cf','Cs','Co','Cn')
ranges=[]; start=None
for c in range(0x80, 0x110000):
    e=escaped(c)
    if e and start is None: start=c
    if not e and start is not None: ranges.append((start,c-1)); start=None
if start is not None: ranges.append((start,0x10FFFF))
print(len(ranges))
with open('src/core/escaped_code_points.inc','w') as f:
    f.write('// Generated: ranges of non-ASCII code points a Rust string escapes when printed with {:?}\n')
    f.write('// (grapheme extenders, and characters of categories Zs Zl Zp Cc Cf Cs Co Cn), Unicode %s.\n' % unicodedata.unidata_version)
    for a,b in ranges: f.write('{0x%X, 0x%X},\n' % (a,b))
