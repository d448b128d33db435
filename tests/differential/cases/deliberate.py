"""Cases where the engine departs from minijinja on purpose (families deliberate.*), listed in
known_differences.tsv with the reason.

* A chain over an input that cannot be iterated: minijinja collects an invalid value into the
  list and prints it; the engine fails the collection with the iteration error.
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
    "{% set ns = namespace() %}{% set ns.me = [ns] %}ok",
    "{{ ([1] * 20000000)|length }}",
    "{{ -170141183460469231731687303715884105728 }}",
)


def cases():
    for template in TEMPLATES:
        yield case("deliberate.builtin", template)
