"""Cases where the engine departs from minijinja on purpose (families deliberate.*), listed in
known_differences.tsv with the reason.

* A chain over an input that cannot be iterated: minijinja returns an iterator that fails only
  when iterated, and which meanwhile prints as `<iterator>`, compares, tests true and collects
  an invalid value into a list; the engine fails the filter itself with the iteration error.
* A namespace stored inside itself: minijinja accepts it (the value is then never freed and
  prints without end); the engine refuses the assignment.
* Sequence repetition: minijinja repeats lazily without a bound; the engine builds the items
  and refuses results above ten million items.
* Negating 2^127 (the literal behind the smallest signed 128-bit value): minijinja drops the
  sign; the engine gives the negative number.
"""

from .model import case

TEMPLATES = (
    "{{ [1]|chain(5)|list }}",
    "{{ [1]|chain(5)|length }}",
    "{{ 3|chain + [] }}",
    "{{ 3|chain ~ 1 }}",
    "{{ 3|chain == [] }}",
    "{% set ns = namespace() %}{% set ns.me = [ns] %}ok",
    "{{ ([1] * 20000000)|length }}",
    "{{ -170141183460469231731687303715884105728 }}",
)


def cases():
    for template in TEMPLATES:
        yield case("deliberate.builtin", template)
