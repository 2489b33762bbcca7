import matplotlib
matplotlib.use("svg")
import matplotlib.pyplot as plt
import numpy as np
F="/tmp/corpus/files/"
plt.rcParams["svg.hashsalt"]="sarvello-corpus"
plt.rcParams["svg.fonttype"]="path"
# 1: lines with markers, legend, grid; text as glyph paths (defs + use)
x=np.linspace(0,2*np.pi,25)
fig,ax=plt.subplots(figsize=(4,3))
ax.plot(x,np.sin(x),"o-",ms=4,label="sin")
ax.plot(x,np.cos(x),"s--",ms=4,label="cos")
ax.legend(); ax.grid(True); ax.set_title("Markers")
fig.savefig(F+"matplotlib-markers.svg", metadata={"Date":None}); plt.close(fig)
# 2: bars with hatches (patterns) and annotations with arrows; text as <text>
plt.rcParams["svg.fonttype"]="none"
fig,ax=plt.subplots(figsize=(4,3))
b=ax.bar(["a","b","c","d"],[3,5,2,4],color=["#4c72b0","#dd8452","#55a868","#c44e52"],hatch="//",edgecolor="k")
ax.annotate("peak",xy=(1,5),xytext=(2.2,5.5),arrowprops=dict(arrowstyle="->",connectionstyle="arc3,rad=.3"))
ax.set_ylim(0,6.5)
fig.savefig(F+"matplotlib-bars-hatch.svg", metadata={"Date":None}); plt.close(fig)
# 3: pie with wedges (arcs), shadow-free, text none
fig,ax=plt.subplots(figsize=(3,3))
ax.pie([35,25,20,20],labels=["A","B","C","D"],explode=[0.05,0,0,0],autopct="%d%%")
fig.savefig(F+"matplotlib-pie.svg", metadata={"Date":None}); plt.close(fig)
# 4: scatter (PathCollection -> <use> of a marker), clip path, colour bar
rng=np.random.default_rng(3)
fig,ax=plt.subplots(figsize=(4,3))
sc=ax.scatter(rng.normal(size=60),rng.normal(size=60),c=rng.random(60),s=30,cmap="viridis")
ax.set_xlim(-2,2); ax.set_ylim(-2,2)
fig.savefig(F+"matplotlib-scatter.svg", metadata={"Date":None}); plt.close(fig)
