import pygal
c = pygal.Line(width=500, height=300, disable_xml_declaration=False, js=[])
c.title = "Vertices per tick"
c.x_labels = map(str, range(0, 10))
c.add("grid 64", [10, 40, 90, 160, 250, 330, 420, 470, 520, 540])
c.add("grid 128", [12, 50, 120, 200, 300, 420, 520, 600, 640, 700])
c.render_to_file("/tmp/corpus/files/pygal-line.svg")
r = pygal.Radar(width=400, height=400, fill=True, js=[])
r.title = "Panel values"
r.x_labels = ["Viscosity", "Time Step", "Force", "Grid Res", "Sampling", "Size"]
r.add("A", [3, 5, 4, 2, 5, 3]); r.add("B", [4, 2, 5, 4, 1, 5])
r.render_to_file("/tmp/corpus/files/pygal-radar.svg")
