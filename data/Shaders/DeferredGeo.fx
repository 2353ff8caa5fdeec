<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="World"/>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4" name="Diffuse" default="1 1 1 1"/>
	<Parameter type="float4" name="ModelColor" default="1 1 1 1"/>
	<Parameter type="int" name="UseTexture" default="1"/>
	<Parameter type="texture" name="DiffuseMap"/>
	<Technique name="Technique0">
		<Pass vertex="Shaders/DeferredGeo.vert" fragment="Shaders/DeferredGeo.frag">
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="Linear" u="Wrap" v="Wrap"/>
		</Pass>
	</Technique>
</Effect>
