<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4" name="Tint"/>
	<Technique name="Technique0">
		<Pass vertex="Effects/Clip.vert" fragment="Effects/Broken.frag"/>
	</Technique>
</Effect>
