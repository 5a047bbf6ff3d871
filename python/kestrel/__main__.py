"""python3 -m kestrel info: the controller's identity, as kestrelctl info prints it."""
from ._cli import run

run()
