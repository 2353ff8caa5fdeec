<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4x4" name="Mprojtex"/>
	<Parameter type="float" name="WaveScale" default="0.045"/>
	<Parameter type="float" name="Time" shared="true"/>
	<Parameter type="float4" name="LightDir" shared="true" default="0 1 0 1"/>
	<Parameter type="float4" name="LightColor" shared="true" default="1 1 1 1"/>
	<Parameter type="float4" name="Ambient" shared="true" default="0.5 0.6 0.5 0"/>
	<Parameter type="texture" name="WBumpMap"/>
	<Parameter type="texture" name="ReflectMap"/>
	<Technique name="Technique0">
		<Pass vertex="Shaders/NWater.vert" fragment="Shaders/NWater.frag">
			<State name="CullMode" value="None"/>
			<Sampler texture="WBumpMap" min="Linear" mag="Linear" mip="Linear" u="Wrap" v="Wrap"/>
			<Sampler texture="ReflectMap" min="Linear" mag="Linear" mip="Point" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
</Effect>
